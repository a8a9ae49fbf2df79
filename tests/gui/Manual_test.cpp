// The manual built into the program: every page is reachable from the
// contents, every internal link and anchor resolves, every file format has
// its reference entry, and the help viewer shows every page.
#include "utilities/Editor.h"
#include "utilities/Html.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QString readPage(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QSet<QString> pagesIn(const QString& dir)
{
    QSet<QString> names;
    for (const QString& n : QDir(dir).entryList({"*.html"}, QDir::Files))
        names.insert(n);
    return names;
}

QStringList captures(const QString& html, const char* pattern)
{
    QStringList out;
    auto it = QRegularExpression(pattern).globalMatch(html);
    while (it.hasNext())
        out << it.next().captured(1);
    return out;
}

} // namespace

TEST(Manual, EveryLinkAndAnchorResolvesAndEveryPageIsReachable)
{
    const QString root = ":/manual";
    const QSet<QString> pages = pagesIn(root);
    ASSERT_TRUE(pages.contains("index.html"));
    EXPECT_EQ(pages, pagesIn(VORN_MANUAL_DIR)) << "the build holds other pages than doc/manual";

    QHash<QString, QSet<QString>> anchors;
    QHash<QString, QStringList> links;
    for (const QString& p : pages) {
        const QString html = readPage(root + "/" + p);
        ASSERT_FALSE(html.isEmpty()) << p.toStdString();
        for (const QString& a : captures(html, R"re((?:id|name)\s*=\s*"([^"]+)")re"))
            EXPECT_FALSE(anchors[p].contains(a)) << p.toStdString() << " repeats anchor " << a.toStdString();
        for (const QString& a : captures(html, R"re((?:id|name)\s*=\s*"([^"]+)")re"))
            anchors[p].insert(a);
        links[p] = captures(html, R"re(href\s*=\s*"([^"]*)")re");
        EXPECT_TRUE(html.contains("<title>")) << p.toStdString();
    }

    QSet<QString> reached{"index.html"};
    QStringList queue{"index.html"};
    while (!queue.isEmpty()) {
        const QString p = queue.takeFirst();
        for (const QString& href : links[p]) {
            const QUrl url(href);
            if (!url.scheme().isEmpty()) {
                EXPECT_TRUE(url.scheme() == "https" || url.scheme() == "http")
                    << p.toStdString() << ": " << href.toStdString();
                continue;
            }
            const QString target = url.path().isEmpty() ? p : url.path();
            ASSERT_TRUE(pages.contains(target)) << p.toStdString() << " links to missing " << href.toStdString();
            if (url.hasFragment()) {
                EXPECT_TRUE(anchors[target].contains(url.fragment()))
                    << p.toStdString() << " links to missing anchor " << href.toStdString();
            }
            if (!reached.contains(target)) {
                reached.insert(target);
                queue << target;
            }
        }
    }
    EXPECT_EQ(reached, pages) << "pages not reachable from the contents";
}

// Each extension the file viewer offers has an entry in the file-format
// reference, under an anchor of its own.
TEST(Manual, EveryFileFormatHasItsReference)
{
    const QString formats = readPage(":/manual/formats.html");
    ASSERT_FALSE(formats.isEmpty());
    const QString list = TFormEditor::OpenDialogFilter.section('|', 1, 1);
    for (QString ext : list.split(';')) {
        ext.remove("*.");
        const QRegularExpression link("href=\"[A-Za-z-]*\\.html#" + ext + "\"");
        EXPECT_TRUE(formats.contains(link)) << ext.toStdString();
    }
}

TEST(Manual, HelpViewerShowsEveryPage)
{
    TFormHTML v;
    EXPECT_EQ(v.currentUrl().toString(), "qrc:/manual/index.html");
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("VORN")) << "contents page shown at start";
    for (const QString& p : pagesIn(":/manual")) {
        v.navigate(TFormHTML::manualUrl(p));
        EXPECT_EQ(v.currentUrl().toString(), "qrc:/manual/" + p);
        EXPECT_FALSE(v.CppWebBrowserHelp->toPlainText().contains("Page not found")) << p.toStdString();
        EXPECT_FALSE(v.CppWebBrowserHelp->documentTitle().isEmpty()) << p.toStdString();
    }
}
