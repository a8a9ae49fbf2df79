#include "input/Formatconvert.h"

#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"
#include "toolkit/Modal.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

const QString ConvertOpenFilter = "All data (*.*)|*.*";
const QString ConvertSaveFilter = "n-type semiconductor (*.nT)|*.nT|p-type semiconductor (*.pT)|*.pT";

namespace {
QComboBox* columnBox(const char* name, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    for (int i = 1; i <= 15; ++i)
        c->addItem(QString::number(i));
    c->setCurrentIndex(-1);
    return c;
}
} // namespace

TFormConvert::TFormConvert(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormConvert");

    auto* steps = new QGroupBox("Convert File Format", this);
    ComboBoxColumnT = columnBox("ComboBoxColumnT", steps);
    ComboBoxColumnC = columnBox("ComboBoxColumnC", steps);
    ButtonLoadAnotherData = new QPushButton("Load", steps);
    ButtonLoadAnotherData->setObjectName("ButtonLoadAnotherData");
    ButtonSaveData = new QPushButton("Save (*.nT or *.pT)", steps);
    ButtonSaveData->setObjectName("ButtonSaveData");
    for (QPushButton* b : {ButtonLoadAnotherData, ButtonSaveData})
        b->setAutoDefault(false);
    auto* g = new QGridLayout(steps);
    g->addWidget(new QLabel("1. Load Data with Another Format File", steps), 0, 0);
    g->addWidget(ButtonLoadAnotherData, 0, 1);
    g->addWidget(new QLabel("2. Input Conditions of Experiment and Analysis", steps), 1, 0, 1, 2);
    g->addWidget(new QLabel("3. Select Column of Temperature", steps), 2, 0);
    g->addWidget(ComboBoxColumnT, 2, 1);
    g->addWidget(new QLabel("4. Select Column of  Free Carrier Concentration", steps), 3, 0);
    g->addWidget(ComboBoxColumnC, 3, 1);
    g->addWidget(new QLabel("5. Delete All Commnets in File", steps), 4, 0, 1, 2);
    g->addWidget(new QLabel("6. Save Data", steps), 5, 0);
    g->addWidget(ButtonSaveData, 5, 1);

    auto* instrument = new QGroupBox("What the Instrument Writes", this);
    ComboBoxQuantity = new QComboBox(instrument);
    ComboBoxQuantity->setObjectName("ComboBoxQuantity");
    ComboBoxQuantity->addItems({"Free carrier concentration [cm^-3]", "Hall coefficient R_H [cm^3/C]",
                                "Hall voltage V_H [V]"});
    ComboBoxColumnCurrent = columnBox("ComboBoxColumnCurrent", instrument);
    ComboBoxColumnField = columnBox("ComboBoxColumnField", instrument);
    EditHallFactor = new QLineEdit("1", instrument);
    EditHallFactor->setObjectName("EditHallFactor");
    ComboBoxTemperatureUnit = new QComboBox(instrument);
    ComboBoxTemperatureUnit->setObjectName("ComboBoxTemperatureUnit");
    ComboBoxTemperatureUnit->addItems({"K", "\u00B0C"});
    ComboBoxFieldUnit = new QComboBox(instrument);
    ComboBoxFieldUnit->setObjectName("ComboBoxFieldUnit");
    ComboBoxFieldUnit->addItems({"T", "G"});
    auto* h = new QGridLayout(instrument);
    h->addWidget(new QLabel("Column of Concentration Holds", instrument), 0, 0);
    h->addWidget(ComboBoxQuantity, 0, 1);
    h->addWidget(new QLabel("Column of Current (empty: the Current of the form)", instrument), 1, 0);
    h->addWidget(ComboBoxColumnCurrent, 1, 1);
    h->addWidget(new QLabel("Column of Magnetic Field (empty: the form's)", instrument), 2, 0);
    h->addWidget(ComboBoxColumnField, 2, 1);
    h->addWidget(new QLabel("Hall Factor r_H", instrument), 3, 0);
    h->addWidget(EditHallFactor, 3, 1);
    h->addWidget(new QLabel("Unit of Temperature", instrument), 4, 0);
    h->addWidget(ComboBoxTemperatureUnit, 4, 1);
    h->addWidget(new QLabel("Unit of Magnetic Field", instrument), 5, 0);
    h->addWidget(ComboBoxFieldUnit, 5, 1);
    // The current and field columns matter for the Hall voltage only.
    auto voltageOnly = [this] {
        const bool voltage = ComboBoxQuantity->currentIndex() == 2;
        ComboBoxColumnCurrent->setEnabled(voltage);
        ComboBoxColumnField->setEnabled(voltage);
        EditHallFactor->setEnabled(ComboBoxQuantity->currentIndex() > 0);
    };
    connect(ComboBoxQuantity, &QComboBox::currentIndexChanged, this, voltageOnly);
    voltageOnly();

    QGroupBox* conditions = createSampleFields(this, "Conditions of Measurement and Analysis");

    RichEditConvert = new QPlainTextEdit(this);
    RichEditConvert->setObjectName("RichEditConvert");
    RichEditConvert->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEditConvert->setMinimumWidth(420);
    Cut1 = new QAction("Cut", this);
    Copy1 = new QAction("Copy", this);
    Paste1 = new QAction("Paste", this);
    RichEditConvert->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEditConvert, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(Cut1);
        menu.addAction(Copy1);
        menu.addAction(Paste1);
        menu.exec(RichEditConvert->viewport()->mapToGlobal(at));
    });
    connect(Cut1, &QAction::triggered, this, &TFormConvert::Cut1Click);
    connect(Copy1, &QAction::triggered, this, &TFormConvert::Copy1Click);
    connect(Paste1, &QAction::triggered, this, &TFormConvert::Paste1Click);
    connect(ButtonLoadAnotherData, &QPushButton::clicked, this, &TFormConvert::ButtonLoadAnotherDataClick);
    connect(ButtonSaveData, &QPushButton::clicked, this, &TFormConvert::ButtonSaveDataClick);

    auto* left = new QVBoxLayout;
    left->addWidget(steps);
    left->addWidget(conditions);
    left->addStretch();
    // Above the text, where the columns it describes are seen (the left
    // column is as tall as a small screen allows).
    auto* right = new QVBoxLayout;
    right->addWidget(instrument);
    right->addWidget(RichEditConvert, 1);
    auto* main = new QHBoxLayout(this);
    main->addLayout(left);
    main->addLayout(right, 1);
    resize(1000, 640);
    prepare();
}

void TFormConvert::prepare()
{
    sourceFileName.clear();
    setWindowTitle("Use Data File with Another Format File");
    ComboBoxColumnT->setCurrentIndex(-1);
    ComboBoxColumnC->setCurrentIndex(-1);
    ComboBoxQuantity->setCurrentIndex(0);
    ComboBoxColumnCurrent->setCurrentIndex(-1);
    ComboBoxColumnField->setCurrentIndex(-1);
    EditHallFactor->setText("1");
    ComboBoxTemperatureUnit->setCurrentIndex(0);
    ComboBoxFieldUnit->setCurrentIndex(0);
    clearSampleFields();
    RichEditConvert->clear();
    shown_ = shown();
}

TFormConvert::Shown TFormConvert::shown() const
{
    return {RichEditConvert->toPlainText(), ComboBoxColumnT->currentIndex(), ComboBoxColumnC->currentIndex(),
            sampleForm()};
}

bool TFormConvert::typedDataChanged() const { return !(shown() == shown_); }

bool TFormConvert::mayDropTypedData(const QString& when)
{
    if (!typedDataChanged())
        return true;
    const auto answer = modal().unsavedWork(
        this, "The data in this window have not been saved.\nSave them before " + when + "?");
    if (answer == ModalInterface::Unsaved::Discard)
        return true;
    if (answer == ModalInterface::Unsaved::Save)
        ButtonSaveDataClick();
    return false;
}

void TFormConvert::reject()
{
    if (mayDropTypedData("the window closes"))
        QDialog::reject();
}

void TFormConvert::ButtonLoadAnotherDataClick()
{
    if (!mayDropTypedData("another file is loaded"))
        return;
    prepare();
    int filter = 1;
    QString name;
    if (!modal().openFile(this, ConvertOpenFilter, filter, name))
        return;
    std::string text, error;
    if (!textfile::readText(name.toStdString(), text, error)) {
        modal().error(this, QString::fromStdString(error));
        return;
    }
    sourceFileName = name;
    RichEditConvert->setPlainText(QString::fromLocal8Bit(text.data(), qsizetype(text.size())));
    RichEditConvert->document()->setModified(false);
    setWindowTitle(name);
    shown_ = shown();
}

void TFormConvert::ButtonSaveDataClick()
{
    dataentry::Columns columns{ComboBoxColumnT->currentIndex(), ComboBoxColumnC->currentIndex(), -1};
    columns.quantity = static_cast<dataentry::Columns::Quantity>(ComboBoxQuantity->currentIndex());
    columns.current = ComboBoxColumnCurrent->currentIndex();
    columns.field = ComboBoxColumnField->currentIndex();
    columns.celsius = ComboBoxTemperatureUnit->currentIndex() == 1;
    columns.gauss = ComboBoxFieldUnit->currentIndex() == 1;
    if (columns.quantity != dataentry::Columns::Quantity::Concentration &&
        !numfmt::parseDouble(EditHallFactor->text().toStdString(), columns.hallFactor)) {
        modal().conversionError(this, QString::fromStdString(numfmt::notValidFloat(EditHallFactor->text().toStdString())));
        return;
    }
    const dataentry::SaveCheck checked =
        dataentry::checkConversion(RichEditConvert->toPlainText().toStdString(), columns, sampleForm());
    if (checked.kind == dataentry::SaveCheck::Kind::ConversionError) {
        modal().conversionError(this, QString::fromStdString(checked.message));
        return;
    }
    if (!checked.ready()) {
        modal().error(this, QString::fromStdString(checked.message));
        return;
    }
    if (!checked.leftOutNote.empty())
        modal().confirmation(this, QString::fromStdString(checked.leftOutNote));
    if (!checked.signChangeNote.empty())
        modal().confirmation(this, QString::fromStdString("Warning: " + checked.signChangeNote));
    if (!windows().mayReplaceAnalysis())
        return;
    int filter = checked.filterIndex;
    QString name = QString::fromStdString(
        sourceFileName.isEmpty()
            ? dataentry::sampleProposal(EditSampleNumber->text().toStdString(), std::string(), filter)
            : dataentry::conversionProposal(sourceFileName.toStdString(), filter));
    if (!modal().saveFile(this, ConvertSaveFilter, filter, name))
        return;
    const FileOutcome saved =
        dataentry::saveNewData(C, checked, name.toStdString(), sourceFileName.toStdString());
    if (!saved.ok) {
        modal().error(this, QString::fromStdString(saved.error));
        return;
    }
    windows().notify(WindowEvent::ConversionSaved, saved.resetFrom);
    shown_ = shown();
    accept();
}

void TFormConvert::Cut1Click() { RichEditConvert->cut(); }

void TFormConvert::Copy1Click() { RichEditConvert->copy(); }

void TFormConvert::Paste1Click() { RichEditConvert->paste(); }
