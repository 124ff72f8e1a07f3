#pragma once
// A window that hosts a web browser control showing a map page, and calls the page's script
// functions from a "javascript:Name(arg, ...)" text.
#include <QStringList>
#include <QVariantList>
#include <QWidget>

class CWebBrowser2;

class CExplorerMapViewWnd : public QWidget {
    Q_OBJECT
public:
    explicit CExplorerMapViewWnd(QWidget* parent = nullptr);
    ~CExplorerMapViewWnd() override;

    // Creates the browser control inside the window at the rectangle (parent coordinates).
    bool Create(const QRect& rect, int nID);
    CWebBrowser2* GetBrowser() const { return m_pBrowser; }
    int ControlId() const { return m_nID; }

    // A function name and its arguments as a call text splits into.
    struct ScriptText {
        QString name;
        QStringList args;
    };
    // The name is what stands before the first "(" (after "javascript:" when present), trimmed;
    // the arguments are the pieces after it between blanks, commas, quotes, tabs, parentheses
    // and semicolons. Quotes do not group.
    static ScriptText ParseScriptText(const QString& text);

    // Calls the function with the arguments as strings; its answer when that is a string, else
    // an empty text (also when there is no page, no such function, or the call failed).
    QString CallJScript(const QString& text);
    // The same call without waiting for the answer, for callers that do not read it. False when
    // there is no page, or the page has shown that it lacks the function.
    bool PostJScript(const QString& text);

private:
    CWebBrowser2* m_pBrowser = nullptr;
    int m_nID = 0;
    // The last posted text as it was split: the map is told the same point many times over.
    QString m_lastPostText;
    QString m_lastPostName;
    QVariantList m_lastPostArgs;
};
