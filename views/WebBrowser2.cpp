#include "views/WebBrowser2.h"

#include "platform/Resources.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>

// The map pages and the marker image are compiled into the resource library; register them
// before the first load.
static constexpr int kMarkerImageId = 484;

static void InitMapResourcesOnce()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(map);
        return HasBitmapResource(kMarkerImageId);
    }();
    (void)done;
}

CWebBrowser2::CWebBrowser2(QWidget* parent) : QWidget(parent), m_pOwed(std::make_shared<int>(0))
{
    InitMapResourcesOnce();
    m_pView = new QWebEngineView(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    m_pView->setContextMenuPolicy(Qt::NoContextMenu);
    // Pages built into the program draw tiles from the map service.
    m_pView->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    m_pView->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    connect(m_pView, &QWebEngineView::loadStarted, this, [this] {
        m_bLoaded = false;
        m_missing.clear();
        ++m_nDocument;
    });
    connect(m_pView, &QWebEngineView::loadFinished, this, [this](bool ok) {
        m_bLoaded = ok;
        emit documentComplete(ok);
    });
}

CWebBrowser2::~CWebBrowser2()
{
    // The page answers its outstanding script calls as it goes; it must go while this browser
    // is still whole, since those answers update it.
    delete m_pView;
    m_pView = nullptr;
}

QWebEnginePage* CWebBrowser2::GetDocument() const
{
    return m_bLoaded ? m_pView->page() : nullptr;
}

void CWebBrowser2::Navigate(const QString& url, const QVariant&, const QVariant&, const QVariant&, const QVariant&)
{
    const QString address = url.trimmed();
    m_bLoaded = false;
    m_pView->setUrl(address.isEmpty() ? QUrl(QStringLiteral("about:blank")) : QUrl::fromUserInput(address));
}

void CWebBrowser2::Navigate2(const QVariant& url, const QVariant& flags, const QVariant& targetFrame,
                             const QVariant& postData, const QVariant& headers)
{
    Navigate(url.toString(), flags, targetFrame, postData, headers);
}

std::optional<QVariant> CWebBrowser2::RunScript(const QString& script, int waitMs)
{
    QWebEnginePage* page = GetDocument();
    // One wait at a time, and none while the page still owes an answer: it is busy or hung.
    if (!page || m_bWaiting || *m_pOwed > 0) return std::nullopt;

    struct Pending {
        bool done = false;
        bool owed = false;
        QVariant value;
        QEventLoop* loop = nullptr;
    };
    auto pending = std::make_shared<Pending>();
    std::shared_ptr<int> owed = m_pOwed;
    page->runJavaScript(script, [pending, owed](const QVariant& value) {
        if (pending->owed) --*owed;
        pending->done = true;
        pending->value = value;
        if (pending->loop) pending->loop->quit();
    });
    if (!pending->done) {
        QEventLoop loop;
        pending->loop = &loop;
        QTimer::singleShot(std::max(0, waitMs < 0 ? m_nScriptWaitMs : waitMs), &loop, &QEventLoop::quit);
        QPointer<CWebBrowser2> self(this);
        m_bWaiting = true;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        pending->loop = nullptr;
        if (!self) return std::nullopt;
        m_bWaiting = false;
    }
    if (!pending->done) {
        pending->owed = true;
        ++*owed;
        return std::nullopt;
    }
    return pending->value;
}

// A script that calls the page's function by name and answers what became of the call. Name and
// arguments travel as JSON, so no text of theirs is ever read as script.
static QString FunctionCallScript(const QString& name, const QVariantList& args)
{
    const QJsonArray payload{QJsonValue(name), QJsonArray::fromVariantList(args)};
    return QStringLiteral("(function (call) {"
                          "  var f = window[call[0]];"
                          "  if (typeof f !== 'function') return { found: false };"
                          "  try {"
                          "    var r = f.apply(window, call[1]);"
                          "    return typeof r === 'string' ? { found: true, ok: true, text: r }"
                          "                                 : { found: true, ok: true };"
                          "  } catch (e) { return { found: true, ok: false }; }"
                          "})(%1)")
        .arg(QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact)));
}

CWebBrowser2::ScriptCall CWebBrowser2::CallScriptFunction(const QString& name, const QVariantList& args)
{
    ScriptCall call;
    if (!GetDocument()) return call;
    const std::optional<QVariant> answer = RunScript(FunctionCallScript(name, args));
    if (!answer) return call;
    const QVariantMap outcome = answer->toMap();
    call.found = outcome.value(QStringLiteral("found")).toBool();
    call.succeeded = outcome.value(QStringLiteral("ok")).toBool();
    if (!call.found) m_missing.insert(name);
    const auto text = outcome.find(QStringLiteral("text"));
    if (call.succeeded && text != outcome.end()) call.text = text->toString();
    return call;
}

bool CWebBrowser2::PostScriptFunction(const QString& name, const QVariantList& args)
{
    QWebEnginePage* page = GetDocument();
    if (!page || m_missing.contains(name)) return false;
    QPointer<CWebBrowser2> self(this);
    const int document = m_nDocument;
    if (m_lastPostScript.isNull() || name != m_lastPostName || args != m_lastPostArgs) {
        m_lastPostName = name;
        m_lastPostArgs = args;
        m_lastPostScript = FunctionCallScript(name, args);
    }
    page->runJavaScript(m_lastPostScript, [self, document, name](const QVariant& answer) {
        if (self && self->m_nDocument == document && !answer.toMap().value(QStringLiteral("found")).toBool())
            self->m_missing.insert(name);
    });
    return true;
}
