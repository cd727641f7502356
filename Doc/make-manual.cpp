// Writes the manual as a PDF: reads the Markdown source, lays it out with Qt's text engine and
// prints it with Qt's PDF writer. Run by the build: make-manual <Manual.md> <Ticova.pdf>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char* argv[])
{
    // The writer needs fonts, not a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-manual <source.md> <output.pdf>\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make-manual: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString text = QString::fromUtf8(source.readAll());

    QPdfWriter writer(QString::fromLocal8Bit(argv[2]));
    writer.setTitle(QStringLiteral("Ticova manual"));
    writer.setCreator(QStringLiteral("Ticova"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
    writer.setResolution(300);

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.5);
    document.setDefaultFont(font);
    document.setDefaultStyleSheet(QStringLiteral("table { border-collapse: collapse; }"
                                                 "th, td { padding: 3px 8px; }"));
    document.setMarkdown(text);
    document.print(&writer);
    // An empty result means nothing was written: the build should fail, not ship it.
    QFile written(QString::fromLocal8Bit(argv[2]));
    if (!written.exists() || written.size() < 1000) {
        std::fprintf(stderr, "make-manual: %s was not written\n", argv[2]);
        return 1;
    }
    return 0;
}
