#pragma once

#include <QApplication>

#include <memory>

class CMainFrame;

// The editor program: `quillon [FILE]`.
class CQuillonApp : public QApplication
{
    Q_OBJECT

public:
    CQuillonApp(int& argc, char** argv);
    ~CQuillonApp() override;

    // Opens the file named on the command line, or starts an empty untitled
    // document; false when that file cannot be opened (the program ends).
    bool InitInstance();

    // The first argument that is not a switch.
    static QString FileArgument(const QStringList& arguments);

    CMainFrame* MainFrame() const { return m_pFrame.get(); }

private:
    std::unique_ptr<CMainFrame> m_pFrame;
};
