#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QTimer;

namespace GUI {

// A pair of arrows, up above down, beside an edit: each click moves a position within a
// range by one, up for more. It can write the position into its edit as an integer, reading
// the edit's number first (then Up and Down in the edit click the arrows too); otherwise the
// page formats the edit itself when told of a click.
class UpDownControl final : public QWidget {
    Q_OBJECT
public:
    explicit UpDownControl(QWidget* parent);

    void SetRange(int low, int high);
    int Low() const { return _low; }
    int High() const { return _high; }
    void SetPosition(int position);
    int Position() const { return _position; }

    // The edit beside it; with `setBuddyInt` the edit holds the position as its text.
    void SetBuddy(QLineEdit* buddy, bool setBuddyInt);

    // A click on the up (+1) or the down (-1) arrow.
    void Step(int delta);

signals:
    // After each click, with the position it left.
    void Scrolled(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int Clamp(int value) const;

    int _low = 0;
    int _high = 100;
    int _position = 0;
    int _pressed = 0;  // +1 up arrow held, -1 down arrow held
    // Held as a plain widget: its events still arrive here while it is being destroyed.
    QPointer<QWidget> _buddy;
    QLineEdit* Buddy() const;
    bool _setBuddyInt = false;
    QTimer* _repeat = nullptr;
};

}  // namespace GUI
