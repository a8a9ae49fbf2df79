#include "utilities/Html.h"

#include "toolkit/Modal.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

const QString TFormHTML::OpenDialogFilter = "HTML files (*.html)|*.html";

namespace {

QString notFoundPage(const QUrl& url)
{
    return "<html><body><h2>Page not found</h2><p>The page "
           "<tt>" + url.toDisplayString().toHtmlEscaped() + "</tt> could not be opened.</p>"
           "<p><a href=\"" + TFormHTML::helpIndexUrl() + "\">Help contents</a></p></body></html>";
}

QString externalPage(const QUrl& url)
{
    const QString link = url.toString(QUrl::FullyEncoded).toHtmlEscaped();
    return "<html><body><h2>Web page</h2>"
           "<p>This page is on the web and cannot be shown in the help viewer.</p>"
           "<p><a href=\"" + link + "\">" + url.toDisplayString().toHtmlEscaped() + "</a></p>"
           "<p>Click the link to open it in your web browser.</p></body></html>";
}

} // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    // Links are followed by the viewer itself, so that nothing leaves the
    // program without a click of the user.
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

bool HelpBrowser::isExternal(const QUrl& url)
{
    const QString s = url.scheme().toLower();
    return !(s.isEmpty() || s == "file" || s == "qrc");
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    if (type != QTextDocument::HtmlResource && type != QTextDocument::UnknownResource)
        return isExternal(name) ? QVariant() : QTextBrowser::loadResource(type, name);
    if (isExternal(name))
        return externalPage(name);
    QVariant v = QTextBrowser::loadResource(type, name);
    if (!v.isValid() || (v.typeId() == QMetaType::QByteArray && v.toByteArray().isEmpty()))
        return notFoundPage(name);
    return v;
}

TFormHTML::TFormHTML(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormHTML");
    setWindowTitle("Viewer of Hyper Text Markup Language");
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    openExternal = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    ButtonContents = new QPushButton("Contents", this);
    ButtonContents->setObjectName("ButtonContents");
    ButtonBack = new QPushButton("Back", this);
    ButtonBack->setObjectName("ButtonBack");
    ButtonForward = new QPushButton("Forward", this);
    ButtonForward->setObjectName("ButtonForward");
    ButtonHome = new QPushButton("Home", this);
    ButtonHome->setObjectName("ButtonHome");
    ButtonHome->setToolTip("Contents of the manual");
    ButtonBack->setEnabled(false);
    ButtonForward->setEnabled(false);

    CppWebBrowserHelp = new HelpBrowser(this);
    CppWebBrowserHelp->setObjectName("CppWebBrowserHelp");

    auto* panel = new QHBoxLayout;
    panel->addWidget(ButtonContents);
    panel->addWidget(ButtonBack);
    panel->addWidget(ButtonForward);
    panel->addWidget(ButtonHome);
    panel->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panel);
    layout->addWidget(CppWebBrowserHelp, 1);
    resize(760, 560);

    connect(ButtonContents, &QPushButton::clicked, this, &TFormHTML::ButtonContentsClick);
    connect(ButtonBack, &QPushButton::clicked, this, &TFormHTML::ButtonBackClick);
    connect(ButtonForward, &QPushButton::clicked, this, &TFormHTML::ButtonForwardClick);
    connect(ButtonHome, &QPushButton::clicked, this, &TFormHTML::ButtonHomeClick);
    connect(CppWebBrowserHelp, &QTextBrowser::backwardAvailable, ButtonBack, &QWidget::setEnabled);
    connect(CppWebBrowserHelp, &QTextBrowser::forwardAvailable, ButtonForward, &QWidget::setEnabled);
    connect(CppWebBrowserHelp, &QTextBrowser::anchorClicked, this, &TFormHTML::linkClicked);
    // The button names the page shown, as the address box of a browser.
    connect(CppWebBrowserHelp, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        const QString name = url.fileName().isEmpty() ? url.toDisplayString() : url.fileName();
        ButtonContents->setText("Contents   (" + name + ")");
    });

    CppWebBrowserHelp->setSource(QUrl(helpIndexUrl()));
}

QString TFormHTML::helpIndexUrl() { return manualUrl("index.html"); }

QString TFormHTML::manualUrl(const QString& page) { return "qrc:/manual/" + page; }

QUrl TFormHTML::currentUrl() const { return CppWebBrowserHelp->source(); }

void TFormHTML::navigate(const QString& url)
{
    QUrl u(url);
    // A bare path, or a Windows drive letter parsed as a scheme.
    if (u.scheme().isEmpty() || u.scheme().size() == 1)
        u = QUrl::fromLocalFile(url);
    CppWebBrowserHelp->setSource(u, QTextDocument::HtmlResource);
}

void TFormHTML::linkClicked(const QUrl& url)
{
    if (HelpBrowser::isExternal(url)) {
        if (openExternal)
            openExternal(url);
        return;
    }
    CppWebBrowserHelp->setSource(url, QTextDocument::HtmlResource);
}

void TFormHTML::ButtonContentsClick()
{
    int filterIndex = 1;
    QString fileName = "VORNWinHelp.html";
    if (!modal().openFile(this, OpenDialogFilter, filterIndex, fileName))
        return;
    CppWebBrowserHelp->setSource(QUrl::fromLocalFile(fileName), QTextDocument::HtmlResource);
}

void TFormHTML::ButtonBackClick() { CppWebBrowserHelp->backward(); }

void TFormHTML::ButtonForwardClick() { CppWebBrowserHelp->forward(); }

void TFormHTML::ButtonHomeClick() { CppWebBrowserHelp->setSource(QUrl(helpIndexUrl()), QTextDocument::HtmlResource); }
