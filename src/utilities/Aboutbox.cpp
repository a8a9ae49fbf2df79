#include "utilities/Aboutbox.h"

#include "analysis/data/Analysis.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

namespace {

// The program has no icon file; a drawn mark keeps the box self-contained.
QPixmap programIcon()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 70, 140));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(2, 2, 60, 60, 10, 10);
    // A peak of an H function over a baseline.
    p.setPen(QPen(Qt::white, 3));
    QPainterPath peak;
    peak.moveTo(10, 50);
    peak.cubicTo(26, 50, 26, 12, 32, 12);
    peak.cubicTo(38, 12, 38, 50, 54, 50);
    p.setBrush(Qt::NoBrush);
    p.drawPath(peak);
    return pm;
}

QString compilerText()
{
#if defined(__clang__)
    return QString("Clang %1.%2").arg(__clang_major__).arg(__clang_minor__);
#elif defined(__GNUC__)
    return QString("GCC %1.%2").arg(__GNUC__).arg(__GNUC_MINOR__);
#elif defined(_MSC_VER)
    return QString("MSVC %1").arg(_MSC_VER);
#else
    return QString("a C++20 compiler");
#endif
}

QLabel* plain(const QString& text, const char* name, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle("About");

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setPixmap(programIcon());
    ProgramIcon->setAlignment(Qt::AlignTop);

    ProductName = plain("VORN", "ProductName", panel);
    QFont big = ProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    ProductName->setFont(big);
    LabelVersionInformation = plain(QString(), "LabelVersionInformation", panel);
    LabelSince = plain("Since 2000/9/1", "LabelSince", panel);
    Comments = plain("Detemination of Densities and Energy Levels of dopants, impurities and traps "
                     "in Semiconductor using Hall-effect measurement",
                     "Comments", panel);
    Comments->setWordWrap(true);
    LabelAuthor = plain("Written by the VORN developers", "LabelAuthor", panel);
    LabelManual = plain("The manual is built into the program: Help > Help (F1); Help > Information on "
                        "Latest Version tells the version and where the manual is installed.",
                        "LabelManual", panel);
    LabelManual->setWordWrap(true);
    LabelBuildTool = plain(QString("Built with Qt %1 and %2").arg(QT_VERSION_STR, compilerText()),
                           "LabelBuildTool", panel);

    auto* texts = new QVBoxLayout;
    texts->addWidget(ProductName);
    texts->addWidget(LabelVersionInformation);
    texts->addWidget(LabelSince);
    texts->addSpacing(8);
    texts->addWidget(Comments);
    texts->addSpacing(8);
    texts->addWidget(LabelAuthor);
    texts->addWidget(LabelManual);
    texts->addWidget(LabelBuildTool);
    texts->addStretch();
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(ProgramIcon);
    panelLayout->addLayout(texts, 1);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setToolTip("Close the version information");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    prepare();
}

void TAboutBox::prepare()
{
    LabelVersionInformation->setText(QString::fromStdString(C.versionInformation));
}
