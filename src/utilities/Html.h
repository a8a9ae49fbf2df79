// The help viewer: the program's manual (built into the program), HTML files from
// disk, back and forward. A text browser cannot show web pages; for those it
// shows a short page with the link, which opens the system's web browser only
// when the user clicks it.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <QTextBrowser>
#include <QUrl>
#include <functional>

class QPushButton;

// The browser control: stands in for pages it cannot load.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;
    // True for URLs the browser hands to the desktop instead of showing.
    static bool isExternal(const QUrl& url);
};

class TFormHTML : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormHTML(QWidget* parent = nullptr);

    // Shows `url`: a page of the manual ("qrc:/manual/index.html"), a local file
    // (a path or a file: URL) or a web address (shown as a page with its link).
    void navigate(const QString& url) override;
    QUrl currentUrl() const;
    // The contents page of the manual, and the address of one of its pages.
    static QString helpIndexUrl();
    static QString manualUrl(const QString& page);

    void ButtonContentsClick();
    void ButtonBackClick();
    void ButtonForwardClick();
    void ButtonHomeClick();

    QPushButton* ButtonContents = nullptr;
    QPushButton* ButtonBack = nullptr;
    QPushButton* ButtonForward = nullptr;
    QPushButton* ButtonHome = nullptr;
    HelpBrowser* CppWebBrowserHelp = nullptr;

    // Opens a web link the user clicked. Replaceable so that tests never
    // start a web browser.
    std::function<void(const QUrl&)> openExternal;

    static const QString OpenDialogFilter;

private:
    void linkClicked(const QUrl& url);
};
