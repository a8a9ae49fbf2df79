#include "utilities/Html.h"

#include "toolkit/Modal.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

const QString TFormHTML::OpenDialogFilter = "HTML files (*.html)|*.html";

namespace {

const char* const helpScheme = "vornhelp";

QString page(const QString& title, const QString& body)
{
    return "<html><head><title>" + title + "</title></head><body><h2>" + title + "</h2>" + body +
           "<hr><p><a href=\"index.html\">Contents</a></p></body></html>";
}

// The built-in help, one short page per topic.
QString builtInPage(const QString& name)
{
    if (name == "index.html")
        return "<html><head><title>VORN Help</title></head><body>"
               "<h2>VORN Help</h2>"
               "<p>VORN determines the densities and energy levels of dopants, impurities and "
               "traps in a semiconductor from the temperature dependence of the majority-carrier "
               "concentration measured by the Hall effect.</p>"
               "<ul>"
               "<li><a href=\"start.html\">A typical analysis</a></li>"
               "<li><a href=\"data.html\">Experimental data files</a></li>"
               "<li><a href=\"spectroscopy.html\">H-function spectroscopy</a></li>"
               "<li><a href=\"results.html\">Obtained results and result files</a></li>"
               "<li><a href=\"other.html\">Other analyses</a></li>"
               "<li><a href=\"modes.html\">Normal and Advanced mode</a></li>"
               "</ul></body></html>";
    if (name == "start.html")
        return page("A typical analysis",
                    "<ol>"
                    "<li><b>Carrier Concentration</b>: load an experimental data file (*.nT for "
                    "an n-type, *.pT for a p-type sample) with <i>Load Data</i>, or type the "
                    "points in with <i>Input Data</i>. The points are plotted against T and "
                    "1000/T.</li>"
                    "<li>Press <i>Calculation</i> to interpolate the data with a smoothing "
                    "cubic spline on a 0.1 K grid (default smoothness 5000), then <i>Save "
                    "(*.spl)</i>.</li>"
                    "<li><b>Fermi Level</b>: confirm the effective density of states of the "
                    "semiconductor, calculate the Fermi level and save it (*.fl).</li>"
                    "<li><b>H1, H2, H3</b>: on each page press <i>Calculation</i>, then "
                    "<i>Evaluation</i>, then save the obtained results. Each stage finds the "
                    "density and energy level of one species.</li>"
                    "<li><b>Simulation</b>: simulate n(T) or p(T) from the species found and "
                    "compare it with the measurement.</li>"
                    "</ol>"
                    "<p>A stage's button is enabled only when the stage before it has been "
                    "computed and saved. Loading or recomputing a stage clears every later "
                    "stage.</p>");
    if (name == "data.html")
        return page("Experimental data files",
                    "<p>An experimental data file is plain text. It starts with 17 header lines "
                    "beginning with \"%\": title, version, original file, data file, name and "
                    "date of measurement, name and date of analysis, sample number, "
                    "semiconductor, conduction type (\"n-type\" or \"p-type\"), sample "
                    "thickness [micron], magnetic field [T], current [A], number of data, a "
                    "comment and the column titles.</p>"
                    "<p>Then each point follows as three numbers separated by blanks or tabs: "
                    "temperature [K], majority-carrier concentration [cm^-3] and a reliability "
                    "weight. A weight of 0 excludes the point from the interpolation; points "
                    "with a weight below 0.9 are not plotted.</p>"
                    "<p>Numbers use \".\" as decimal point. Data in other text formats can be "
                    "converted with <i>Input Data</i>.</p>");
    if (name == "spectroscopy.html")
        return page("H-function spectroscopy",
                    "<p>From the interpolated concentration n(T) and the effective density of "
                    "states the program computes, for a reference energy E<sub>ref</sub>,</p>"
                    "<p>&nbsp;&nbsp;H(T,E<sub>ref</sub>) = n(T)<sup>2</sup> "
                    "exp(E<sub>ref</sub>/kT) / (kT)<sup>2.5</sup></p>"
                    "<p>Each species produces a peak. The peak temperature and value, fitted "
                    "with a single-species model, give its density and energy level. H2 and H3 "
                    "remove the species found before them, one after another.</p>"
                    "<p>With the function type S (Option menu, Advanced mode) the function "
                    "S(T,E<sub>ref</sub>) = n(T) exp(E<sub>ref</sub>/kT) / kT is used instead; "
                    "changing the function type clears all spectroscopy results.</p>"
                    "<p>When an energy level found in H2 or H3 is lower than kT at the lowest "
                    "measured temperature, the <i>Remarks!</i> window recommends evaluating "
                    "again with the compensating density of the stage before.</p>");
    if (name == "results.html")
        return page("Obtained results and result files",
                    "<p>The <i>Obtained Results</i> window (Data menu) summarises the sample, "
                    "the files of every stage and the densities and energy levels found. It "
                    "can be saved as *.datH (*.datS for the S function) and printed.</p>"
                    "<p>Every stage writes its own text file: *.spl (data for analysis), *.fl "
                    "(Fermi level), *.H1 to *.H3 (or *.S1 to *.S3), *.simH (or *.simS) for the "
                    "simulation. Each begins with a header of lines starting with \"%\" that "
                    "names the files of the earlier stages. Charts can be saved as bitmaps "
                    "(*.bmp).</p>");
    if (name == "other.html")
        return page("Other analyses",
                    "<p>Once the Fermi level is saved, the <i>Other Analyses</i> menu offers "
                    "conventional Arrhenius analyses for only one impurity and for one donor "
                    "with one acceptor, and differential Hall-effect spectroscopy (DHES). "
                    "After a simulation, <i>Curve Fitting</i> adjusts all densities and energy "
                    "levels by least squares.</p>"
                    "<p>In Advanced mode, <i>Consideration of Excited States</i> evaluates the "
                    "first species with a distribution function that includes the dopant's "
                    "excited states.</p>");
    if (name == "modes.html")
        return page("Normal and Advanced mode",
                    "<p>In Normal mode the program searches the reference energies and peaks "
                    "automatically. Advanced mode adds manual controls: typed reference "
                    "energies, peak stepping, loading of *.spl and *.fl files, saving the "
                    "functions at the experimental points, the choice of the automatic "
                    "evaluation type and of the function type.</p>");
    return QString();
}

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
    return !(s.isEmpty() || s == "file" || s == "qrc" || s == helpScheme);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    if (type != QTextDocument::HtmlResource && type != QTextDocument::UnknownResource)
        return isExternal(name) || name.scheme() == helpScheme ? QVariant()
                                                               : QTextBrowser::loadResource(type, name);
    if (name.scheme() == helpScheme) {
        QString html = builtInPage(QFileInfo(name.path()).fileName());
        return html.isEmpty() ? notFoundPage(name) : html;
    }
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

    ButtonContents = new QPushButton("Contents   (\\VORNWin\\bin\\VORNWinHelp.html)", this);
    ButtonContents->setObjectName("ButtonContents");
    ButtonBack = new QPushButton("Back", this);
    ButtonBack->setObjectName("ButtonBack");
    ButtonForward = new QPushButton("Forward", this);
    ButtonForward->setObjectName("ButtonForward");
    ButtonHome = new QPushButton("Home", this);
    ButtonHome->setObjectName("ButtonHome");
    ButtonHome->setToolTip("Contents of the built-in help");
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

    CppWebBrowserHelp->setSource(QUrl(helpIndexUrl()));
}

QString TFormHTML::helpIndexUrl() { return QString(helpScheme) + ":/index.html"; }

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
