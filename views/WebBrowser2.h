#pragma once
// The web browser control: a Qt WebEngine view with the control's navigation calls and a way to
// call the loaded page's script functions by name. Script runs asynchronously in the browser;
// a call that needs an answer waits for it a moment at most and fails quietly after that, so the
// window never hangs on the page.
#include <QSet>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <memory>
#include <optional>

class QWebEnginePage;
class QWebEngineView;

class CWebBrowser2 : public QWidget {
    Q_OBJECT
public:
    // How long a call waits for the page's answer.
    static constexpr int kScriptWaitMs = 500;

    explicit CWebBrowser2(QWidget* parent = nullptr);
    ~CWebBrowser2() override;

    // The loaded document's page; null while nothing has finished loading (or the load failed).
    QWebEnginePage* GetDocument() const;
    // Goes to the address; an address without a scheme is a web address. The optional variants
    // of the control (flags, target frame, post data, headers) are not used by the program.
    void Navigate(const QString& url, const QVariant& flags = {}, const QVariant& targetFrame = {},
                  const QVariant& postData = {}, const QVariant& headers = {});
    // The same with the address as a variant; an empty address gives an empty page.
    void Navigate2(const QVariant& url, const QVariant& flags = {}, const QVariant& targetFrame = {},
                   const QVariant& postData = {}, const QVariant& headers = {});

    // The outcome of calling a function of the page by name.
    struct ScriptCall {
        bool found = false;          // the document had a function of that name
        bool succeeded = false;      // the call ran without an error
        std::optional<QString> text; // what it returned, when that was a string
    };
    // Calls the page's global function `name` with the arguments (strings, integers) and waits a
    // moment for the outcome. Nothing found when there is no document or the page does not answer.
    ScriptCall CallScriptFunction(const QString& name, const QVariantList& args);

    // The same without waiting, for calls whose answer nobody reads (the 200 ms updates). False
    // when there is no document, or when this document has shown it has no such function.
    bool PostScriptFunction(const QString& name, const QVariantList& args);

    // Runs any script and waits a moment for its value (tests read the page with it); nothing
    // when there is no document, the page does not answer, or a call is already waiting.
    std::optional<QVariant> RunScript(const QString& script, int waitMs = -1);
    // How long calls wait when not told (kScriptWaitMs unless changed).
    void SetScriptWaitMs(int waitMs) { m_nScriptWaitMs = waitMs; }
    int ScriptWaitMs() const { return m_nScriptWaitMs; }

    QWebEngineView* View() const { return m_pView; }
    bool IsLoaded() const { return m_bLoaded; }

signals:
    void documentComplete(bool ok);

private:
    QWebEngineView* m_pView = nullptr;
    bool m_bLoaded = false;
    bool m_bWaiting = false;
    int m_nScriptWaitMs = kScriptWaitMs;
    // Answers still owed by the page after a wait gave up; while any is owed the page is taken
    // as busy and calls fail at once instead of waiting again.
    std::shared_ptr<int> m_pOwed;
    // Function names this document turned out not to have; forgotten at the next load.
    QSet<QString> m_missing;
    // Counts loads, so that a late answer about an older document is not taken for this one.
    int m_nDocument = 0;
    // The script of the last posted call: the update posts the same call five times a second.
    QString m_lastPostName, m_lastPostScript;
    QVariantList m_lastPostArgs;
};
