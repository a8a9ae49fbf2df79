#include "input/Samplecondition.h"

#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"

#include <QGridLayout>
#include <QLabel>

namespace {

QLabel* fixedLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

// Values come from data files: shown as plain text so that a "<" in a comment
// is not taken for markup, and selectable so they can be copied.
QLabel* valueLabel(const char* name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setMinimumWidth(220);
    return l;
}

QString text(const std::string& s) { return QString::fromStdString(s); }
QString number(double v) { return QString::fromStdString(numfmt::general(v)); }

} // namespace

TFormSampleCondition::TFormSampleCondition(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormSampleCondition");
    setWindowTitle("FormSampleCondition");

    LabelNameOfMeasurement = valueLabel("LabelNameOfMeasurement", this);
    LabelDateOfMeasurement = valueLabel("LabelDateOfMeasurement", this);
    LabelNameOfAnalysis = valueLabel("LabelNameOfAnalysis", this);
    LabelDateOfAnalysis = valueLabel("LabelDateOfAnalysis", this);
    LabelSemiconductor = valueLabel("LabelSemiconductor", this);
    LabelConductionType = valueLabel("LabelConductionType", this);
    LabelSampleNumber = valueLabel("LabelSampleNumber", this);
    LabelThickness = valueLabel("LabelThickness", this);
    LabelMagneticField = valueLabel("LabelMagneticField", this);
    LabelCurrent = valueLabel("LabelCurrent", this);
    LabelComment = valueLabel("LabelComment", this);
    LabelComment->setWordWrap(true);

    // Columns: group caption, field caption, value, unit.
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(12);
    int row = 0;
    auto add = [&](const QString& group, const QString& field, QLabel* value,
                   const QString& unit) {
        if (!group.isEmpty())
            grid->addWidget(fixedLabel(group, this), row, 0);
        if (!field.isEmpty())
            grid->addWidget(fixedLabel(field, this), row, 1);
        grid->addWidget(value, row, 2);
        if (!unit.isEmpty())
            grid->addWidget(fixedLabel(unit, this), row, 3);
        ++row;
    };
    add("Measurement", "Name", LabelNameOfMeasurement, {});
    add({}, "Date", LabelDateOfMeasurement, {});
    add("Analysis", "Name", LabelNameOfAnalysis, {});
    add({}, "Date", LabelDateOfAnalysis, {});
    add("Semiconductor", {}, LabelSemiconductor, {});
    add("Conduction", "Type", LabelConductionType, {});
    add("Sample", "Number", LabelSampleNumber, {});
    add("Thickness", {}, LabelThickness, "micron");
    add("Magentic", "Field", LabelMagneticField, "T");
    add("Current", {}, LabelCurrent, "A");
    add("Comment", {}, LabelComment, {});
    grid->setColumnStretch(4, 1);

    prepare();
}

void TFormSampleCondition::prepare()
{
    LabelNameOfMeasurement->setText(text(C.measurementName));
    LabelDateOfMeasurement->setText(text(C.measurementDate));
    LabelNameOfAnalysis->setText(text(C.analysisName));
    LabelDateOfAnalysis->setText(text(C.analysisDate));
    LabelSemiconductor->setText(text(C.semiconductor));
    LabelConductionType->setText(text(C.conductionType));
    LabelSampleNumber->setText(text(C.sampleNumber));
    LabelThickness->setText(number(C.sampleThickness));
    LabelMagneticField->setText(number(C.magneticField));
    LabelCurrent->setText(number(C.current));
    LabelComment->setText(text(C.comment));
}
