// A bare Qt application: starts on the platform Qt is given, and ends.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
