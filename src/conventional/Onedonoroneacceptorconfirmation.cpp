#include "conventional/Onedonoroneacceptorconfirmation.h"

#include "analysis/data/Analysis.h"
#include "conventional/ConventionalWindowSupport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const netN = "N<sub>D</sub> &minus; N<sub>A</sub>";
const char* const netP = "N<sub>A</sub> &minus; N<sub>D</sub>";
const char* const factorN = "M<sub>C</sub>/g &middot; (m*/m<sub>0</sub>)<sup>3/2</sup>";
const char* const factorP = "(1/g) &middot; (m*/m<sub>0</sub>)<sup>3/2</sup>";
} // namespace

TFormOneDonorOneAcceptorConfirmation::TFormOneDonorOneAcceptorConfirmation(QWidget* parent) : QDialog(parent)
{
    using conventionalui::picture;
    setObjectName("FormOneDonorOneAcceptorConfirmation");
    setWindowTitle("Confirmation");
    auto plain = [this](const QString& text) {
        auto* l = new QLabel(text, this);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    ImageNetDensity1 = picture(netN, "ImageNetDensity1", this);
    ImageNetDensity2 = picture(netN, "ImageNetDensity2", this);
    ImageFactor = picture(factorN, "ImageFactor", this);
    LabelConnect = plain("and");
    LabelConnect->setObjectName("LabelConnect");
    ImageMinima = picture("M<sub>C</sub>", "ImageMinima", this);
    LabelClosing = plain(".");
    LabelClosing->setObjectName("LabelClosing");
    ButtonOK = new QPushButton("OK", this);
    ButtonOK->setObjectName("ButtonOK");
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);

    auto row = [](std::initializer_list<QWidget*> ws) {
        auto* h = new QHBoxLayout;
        for (QWidget* w : ws)
            h->addWidget(w);
        h->addStretch();
        return h;
    };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plain("Please try to coincide the simulated concentration (solid line) with the experimental "
                            "data (open circles)."));
    layout->addLayout(row({plain("1. Please increase the value of"), ImageNetDensity1,
                           plain("when the simulated concentration is lower than the experimental concentration.")}));
    layout->addLayout(row({plain("2. Please decrease the value of"), ImageNetDensity2,
                           plain("when the simulated concentration is higher than the experiemental concentration.")}));
    layout->addLayout(row({plain("Please compare the obtained "), ImageFactor,
                           plain("with the value that is calculated using "),
                           picture("m*/m<sub>0</sub>", "ImageMass", this), plain("and"),
                           picture("g", "ImageDegeneracy", this), LabelConnect, ImageMinima, LabelClosing}));
    layout->addLayout(row({ButtonOK}));
}

void TFormOneDonorOneAcceptorConfirmation::prepare()
{
    const bool n = C.isNType();
    ImageNetDensity1->setText(n ? netN : netP);
    ImageNetDensity2->setText(n ? netN : netP);
    ImageFactor->setText(n ? factorN : factorP);
    LabelConnect->setText(n ? "and" : ".");
    ImageMinima->setVisible(n);
    LabelClosing->setVisible(n);
}
