// The Velmo Schedule Generator editor.

#include "editor_app.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return velmo::RunEditor(app);
}
