#pragma once

#include <QApplication>

class CSluiceConfigApp : public QApplication {
    Q_OBJECT

public:
    CSluiceConfigApp(int& argc, char** argv);

    // Shows the main window and returns the exit status once it has closed.
    int Run();
};
