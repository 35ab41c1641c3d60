#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Painting is tested offscreen, also when the tests are listed without CTest's setting.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
