#pragma once
// The application object: prepares the toolkit, runs the main dialog modally and ends the
// process when it closes.
#include <QApplication>

class CSamplePlayerApp : public QApplication {
public:
    CSamplePlayerApp(int& argc, char** argv);
    // Runs the main dialog; always answers false (no further message loop).
    bool InitInstance();
};
