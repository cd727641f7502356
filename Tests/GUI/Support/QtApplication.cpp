// The one QApplication of the GUI tests, made before the first test and kept to the end.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

static void LoadResources()
{
    Q_INIT_RESOURCE(Ticova);
}

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "GUITests";
        static char* argv[] = {name, nullptr};
        _application = std::make_unique<QApplication>(argc, argv);
        LoadResources();
    }

    void TearDown() override { _application.reset(); }

private:
    std::unique_ptr<QApplication> _application;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
