#include "input/SampleFields.h"

#include "analysis/data/Analysis.h"
#include "analysis/data/Material.h"
#include "analysis/base/NumberFormat.h"
#include "toolkit/Texts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit* edit(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QComboBox* box(const char* name, const QStringList& items, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setCurrentIndex(-1);
    return c;
}

std::string s(const QString& t) { return t.toStdString(); }

} // namespace

QGroupBox* SampleFields::createSampleFields(QWidget* parent, const QString& title)
{
    auto* group = new QGroupBox(title, parent);
    EditNameOfMeasurement = edit("EditNameOfMeasurement", group);
    EditDateOfMeasurement = edit("EditDateOfMeasurement", group);
    EditNameOfAnalysis = edit("EditNameOfAnalysis", group);
    EditDateOfAnalysis = edit("EditDateOfAnalysis", group);
    QStringList materials;
    for (const std::string& name : material::names())
        materials << qs(name);
    materials << "Input name";
    ComboBoxSemiconductor = box("ComboBoxSemiconductor", materials, group);
    ComboBoxSemiconductor->setMaxVisibleItems(20);
    ComboBoxConductionType = box("ComboBoxConductionType", {"n-type", "p-type"}, group);
    EditSampleNumber = edit("EditSampleNumber", group);
    EditThickness = edit("EditThickness", group);
    EditMagneticField = edit("EditMagneticField", group);
    EditCurrent = edit("EditCurrent", group);
    EditComment = edit("EditComment", group);
    EditComment->setMaxLength(100);

    auto* g = new QGridLayout(group);
    int row = 0;
    auto add = [&](const QString& caption, QWidget* field, const QString& unit) {
        g->addWidget(new QLabel(caption, group), row, 0);
        g->addWidget(field, row, 1);
        if (!unit.isEmpty())
            g->addWidget(new QLabel(unit, group), row, 2);
        ++row;
    };
    g->addWidget(new QLabel("Measurement", group), row++, 0);
    add("Name", EditNameOfMeasurement, {});
    add("Date", EditDateOfMeasurement, {});
    g->addWidget(new QLabel("Analysis", group), row++, 0);
    add("Name", EditNameOfAnalysis, {});
    add("Date", EditDateOfAnalysis, {});
    add("Semiconductor", ComboBoxSemiconductor, {});
    add("Conduction Type", ComboBoxConductionType, {});
    add("Sample Number", EditSampleNumber, {});
    add("Thickness", EditThickness, "micron");
    add("Magnetic Field", EditMagneticField, "T");
    add("Current", EditCurrent, "A");
    add("Comment", EditComment, {});
    g->setColumnMinimumWidth(1, 220);
    clearSampleFields();
    return group;
}

dataentry::SampleForm SampleFields::sampleForm() const
{
    dataentry::SampleForm f;
    f.measurementName = s(EditNameOfMeasurement->text());
    f.measurementDate = s(EditDateOfMeasurement->text());
    f.analysisName = s(EditNameOfAnalysis->text());
    f.analysisDate = s(EditDateOfAnalysis->text());
    f.semiconductor = s(ComboBoxSemiconductor->currentText());
    f.conductionType = s(ComboBoxConductionType->currentText());
    f.sampleNumber = s(EditSampleNumber->text());
    f.comment = s(EditComment->text());
    f.thickness = s(EditThickness->text());
    f.magneticField = s(EditMagneticField->text());
    f.current = s(EditCurrent->text());
    return f;
}

void SampleFields::showSampleForm(const dataentry::SampleForm& f)
{
    EditNameOfMeasurement->setText(qs(f.measurementName));
    EditDateOfMeasurement->setText(qs(f.measurementDate));
    EditNameOfAnalysis->setText(qs(f.analysisName));
    EditDateOfAnalysis->setText(qs(f.analysisDate));
    ComboBoxSemiconductor->setCurrentIndex(-1);
    ComboBoxSemiconductor->setEditText(qs(f.semiconductor));
    ComboBoxConductionType->setCurrentIndex(-1);
    ComboBoxConductionType->setEditText(qs(f.conductionType));
    EditSampleNumber->setText(qs(f.sampleNumber));
    EditComment->setText(qs(f.comment));
    EditThickness->setText(qs(f.thickness));
    EditMagneticField->setText(qs(f.magneticField));
    EditCurrent->setText(qs(f.current));
}

void SampleFields::clearSampleFields() { showSampleForm(dataentry::SampleForm{}); }

dataentry::SampleForm sampleFormOf(const Analysis& a)
{
    dataentry::SampleForm f;
    f.measurementName = a.measurementName;
    f.measurementDate = a.measurementDate;
    f.analysisName = a.analysisName;
    f.analysisDate = a.analysisDate;
    f.semiconductor = a.semiconductor;
    f.conductionType = a.conductionType;
    f.sampleNumber = a.sampleNumber;
    f.comment = a.comment;
    f.thickness = numfmt::general(a.sampleThickness);
    f.magneticField = numfmt::general(a.magneticField);
    f.current = numfmt::general(a.current);
    return f;
}
