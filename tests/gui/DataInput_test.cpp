// The keyboard data sheet and the converter, driven as a user does through
// "Input Data" and "Change Data".
#include "HallTestSupport.h"
#include "input/Datasheet.h"
#include "input/Formatconvert.h"
#include "input/Howtoinputdata.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QTableWidget>
#include <QTest>
#include <QTemporaryDir>
#include <fstream>

namespace {

class DataInputTest : public MainWindowTest {
protected:
    QTemporaryDir dir;
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    // The answers of the chooser and of the window it opens: `keyboard`
    // picks the data sheet, else the converter; `fill` acts in that window.
    void chooseInput(bool keyboard, std::function<void()> fill)
    {
        script.windowHandler = [this, keyboard, fill](QDialog* w) {
            if (w == FormHowToInput)
                keyboard ? FormHowToInput->Button1Click() : FormHowToInput->Button2Click();
            else if (w == FormDataSheet || w == FormConvert)
                fill();
            return 0;
        };
    }
    static QAction* gridAction(const QString& text)
    {
        for (QAction* a : FormDataSheet->StringGridData->actions())
            if (a->text() == text)
                return a;
        ADD_FAILURE() << "the grid has no action " << text.toStdString();
        static QAction none;
        return &none;
    }
    static void describe(SampleFields* f, const char* type)
    {
        f->ComboBoxSemiconductor->setEditText("Si");
        f->ComboBoxConductionType->setEditText(type);
        f->EditSampleNumber->setText("S-9");
        f->EditThickness->setText("350");
    }
};

const char* const spreadsheetBlock = "200\t4.1e15\t1\r\n100\t1.2e15\t0.95\r\n150\t2.5e15\r\n";

} // namespace

TEST_F(DataInputTest, KeyboardEntryPastedFromASpreadsheetBecomesTheData)
{
    TFormMain* m = create(1);
    const QString target = dir.filePath("typed.nT");
    chooseInput(true, [&] {
        // Opened empty, whatever the analysis object held.
        EXPECT_TRUE(FormDataSheet->cell(0, 1).isEmpty());
        EXPECT_EQ(FormDataSheet->EditCurrent->text(), "0");
        EXPECT_EQ(FormDataSheet->ComboBoxSemiconductor->count(), 78);
        EXPECT_EQ(FormDataSheet->ComboBoxSemiconductor->itemText(77), "Input name");
        // Ctrl+V on the grid with a spreadsheet's block.
        FormDataSheet->StringGridData->setCurrentCell(0, 0);
        QApplication::clipboard()->setText(spreadsheetBlock);
        QTest::keySequence(FormDataSheet->StringGridData, QKeySequence::Paste);
        describe(FormDataSheet, "n-type");
        script.answerFile(target);
        FormDataSheet->ButtonSaveExperimentalDataClick();
    });
    m->ButtonInputDataClick();

    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    ASSERT_EQ(script.fileDialogs.size(), 1u);
    EXPECT_EQ(script.fileDialogs[0].filter, DataSheetSaveFilter);
    EXPECT_EQ(script.fileDialogs[0].filterIndex, 1);
    // The sample's name, not a pattern.
    EXPECT_EQ(script.fileDialogs[0].proposedName, "S-9.nT");
    EXPECT_EQ(C.experimentalDataFileName, target.toStdString());
    EXPECT_EQ(C.temperature, (DoubleArray{100, 150, 200}));
    EXPECT_EQ(C.reliability, (DoubleArray{0.95, 1, 1}));
    EXPECT_EQ(m->ChartExperimentalLinear->count(0), 3);
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
    EXPECT_TRUE(m->ButtonChangeData->isEnabled());
    EXPECT_EQ(m->PanelSampleNumber->text(), "S-9");
    EXPECT_FALSE(m->dataSheetSaved);

    // Saved and loaded back: the same points.
    Analysis back;
    ASSERT_TRUE(back.loadExperimentalData(target.toStdString()).ok);
    EXPECT_EQ(back.temperature, C.temperature);
    EXPECT_EQ(back.concentration, C.concentration);
    EXPECT_EQ(back.sampleThickness, 350);
}

TEST_F(DataInputTest, NothingIsLostBeforeANewFileIsWritten)
{
    TFormMain* m = create(1);
    load(m, example("gaas_n_shallow.nT"));
    const Analysis before = C;
    const int plotted = m->ChartExperimentalLinear->count(0);

    // A refused save, then a failed write, then the sheet closed.
    chooseInput(true, [&] {
        FormDataSheet->pasteBlock("100\t1e15\t1\n-5\t1e15\t1\n");
        describe(FormDataSheet, "n-type");
        FormDataSheet->ButtonSaveExperimentalDataClick();
        // Sorted, so that the row the box names is the row shown.
        EXPECT_EQ(FormDataSheet->cell(0, 1), "-5");
        FormDataSheet->StringGridData->item(0, 0)->setText("50");
        script.answerFile(dir.filePath("missing/x.nT"));
        FormDataSheet->ButtonSaveExperimentalDataClick();
        EXPECT_EQ(FormDataSheet->cell(0, 1), "50");
    });
    m->ButtonInputDataClick();
    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(script.messages[0].text,
              "Temprature is below 0 K \n Check the Data!\n(row 1, column \"Temperature [K]\")");
    EXPECT_TRUE(script.messages[1].text.contains("x.nT")) << script.messages[1].text.toStdString();

    // The converter closed without saving.
    chooseInput(false, [] {});
    m->ButtonInputDataClick();

    EXPECT_EQ(C.temperature, before.temperature);
    EXPECT_EQ(C.experimentalDataFileName, before.experimentalDataFileName);
    EXPECT_EQ(C.sampleNumber, before.sampleNumber);
    EXPECT_EQ(m->ChartExperimentalLinear->count(0), plotted);
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
    EXPECT_FALSE(m->PanelSampleNumber->text().isEmpty());
}

TEST_F(DataInputTest, ChangeDataKeepsEveryDigitAndTheSample)
{
    TFormMain* m = create(0);
    const std::string data = path("sample.nT");
    std::ofstream(data, std::ios::binary) << testfiles::readAll(testfiles::example("si_p_single.nT"));
    load(m, QString::fromStdString(data));
    C.originalFileName = "/instrument/run.txt";
    script.windowHandler = [&](QDialog*) {
        EXPECT_EQ(FormDataSheet->EditSampleNumber->text(), "SYN-si_p_single");
        EXPECT_EQ(FormDataSheet->EditCurrent->text(), "0.0001");
        // The values as loaded, not rounded to a display pattern.
        EXPECT_EQ(FormDataSheet->cell(0, 1), "30");
        EXPECT_EQ(FormDataSheet->cell(1, 1), "1.16271e+12");
        EXPECT_EQ(FormDataSheet->cell(2, 1), "1");
        FormDataSheet->StringGridData->setCurrentCell(0, 0);
        FormDataSheet->StringGridData->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), true);
        gridAction("Copy")->trigger();
        EXPECT_EQ(QApplication::clipboard()->text(), "30\t1.16271e+12\n35\t1.54171e+13\n");
        script.answerFile(QString::fromStdString(data));
        FormDataSheet->ButtonSaveExperimentalDataClick();
        return 0;
    };
    m->ButtonChangeDataClick();
    EXPECT_EQ(C.concentration[0], 1.16271e12);
    EXPECT_EQ(C.originalFileName, "/instrument/run.txt");
    EXPECT_EQ(C.dataCount, 75);
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
    EXPECT_FALSE(m->dataSheetSaved);
}

TEST_F(DataInputTest, ConverterTakesTheChosenColumnsOfAnInstrumentFile)
{
    TFormMain* m = create(1);
    const std::string source = path("hall run.dat");
    std::ofstream(source, std::ios::binary) << "Hall system, sample P-3\r\n"
                                               "T [K]\tV_H [mV]\tp [cm-3]\r\n"
                                               "# cooling\r\n"
                                               "  300, 1.5\t2.0e16\r\n"
                                               "200\t3.0\t1.0e16\r\n"
                                               "\r\n"
                                               "100\t30\t1.0e15\r\n";
    chooseInput(false, [&] {
        script.answerFile(QString::fromStdString(source));
        FormConvert->ButtonLoadAnotherDataClick();
        EXPECT_EQ(FormConvert->windowTitle().toStdString(), source);
        FormConvert->ComboBoxColumnT->setCurrentIndex(0);
        FormConvert->ComboBoxColumnC->setCurrentIndex(2);
        // No conduction type yet: refused; then p-type.
        FormConvert->ButtonSaveDataClick();
        describe(FormConvert, "p-type");
        script.acceptProposedFile();
        FormConvert->ButtonSaveDataClick();
    });
    m->ButtonInputDataClick();

    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(script.messages[0].text, "Please input the conduction type");
    EXPECT_EQ(script.messages[1].kind, ScriptedModal::Message::Confirmation);
    EXPECT_TRUE(script.messages[1].text.startsWith("3 lines hold no number")) << script.messages[1].text.toStdString();
    ASSERT_EQ(script.fileDialogs.size(), 2u);
    EXPECT_EQ(script.fileDialogs[1].filter, ConvertSaveFilter);
    EXPECT_EQ(script.fileDialogs[1].filterIndex, 2);
    EXPECT_EQ(script.fileDialogs[1].proposedName.toStdString(), path("hall run.pT"));
    EXPECT_EQ(C.experimentalDataFileName, path("hall run.pT"));
    EXPECT_EQ(C.originalFileName, source);
    EXPECT_EQ(C.temperature, (DoubleArray{100, 200, 300}));
    EXPECT_EQ(C.concentration, (DoubleArray{1e15, 1e16, 2e16}));
    EXPECT_EQ(C.conductionType, "p-type");
    EXPECT_EQ(m->ChartExperimentalLog->count(0), 3);
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
}

// The same window on an instrument that writes the Hall voltage in degrees
// Celsius, with the current and the field in gauss per point: the sign gives
// the type, the concentration is r_H/(q|R_H|) with R_H = V_H d/(I B).
TEST_F(DataInputTest, ConverterTakesTheHallVoltageOfAnInstrument)
{
    TFormMain* m = create(1);
    const std::string source = path("vh.dat");
    // d = 350 um, I = 1E-4 A, B = 5000 G = 0.5 T: R_H = -V_H * 7E6 cm^3/C.
    std::ofstream(source, std::ios::binary) << "T [C]\tV_H [V]\tI [A]\tB [G]\r\n"
                                               "-173.15\t-2e-3\t1e-4\t5000\r\n"
                                               "26.85\t-1e-3\t1e-4\t5000\r\n";
    chooseInput(false, [&] {
        script.answerFile(QString::fromStdString(source));
        FormConvert->ButtonLoadAnotherDataClick();
        FormConvert->ComboBoxColumnT->setCurrentIndex(0);
        FormConvert->ComboBoxColumnC->setCurrentIndex(1);
        FormConvert->ComboBoxQuantity->setCurrentIndex(2);
        FormConvert->ComboBoxColumnCurrent->setCurrentIndex(2);
        FormConvert->ComboBoxColumnField->setCurrentIndex(3);
        FormConvert->EditHallFactor->setText("1.2");
        FormConvert->ComboBoxTemperatureUnit->setCurrentIndex(1);
        FormConvert->ComboBoxFieldUnit->setCurrentIndex(1);
        describe(FormConvert, "");
        script.acceptProposedFile();
        FormConvert->ButtonSaveDataClick();
    });
    m->ButtonInputDataClick();
    EXPECT_EQ(C.experimentalDataFileName, path("vh.nT"));
    EXPECT_EQ(C.conductionType, "n-type");
    ASSERT_EQ(C.dataCount, 2);
    EXPECT_NEAR(C.temperature[0], 100, 1e-9);
    EXPECT_NEAR(C.temperature[1], 300, 1e-9);
    const double q = 1.602176634e-19;
    // The data file keeps 6 digits.
    EXPECT_NEAR(C.concentration[0] / (1.2 / (q * 2e-3 * 7e6)), 1, 1e-5);
    EXPECT_NEAR(C.concentration[1] / (1.2 / (q * 1e-3 * 7e6)), 1, 1e-5);
    EXPECT_NE(C.comment.find("r_H = 1.2"), std::string::npos);
}

TEST_F(DataInputTest, PastedBlockLongerThanTheSheetKeepsEveryRow)
{
    create(1);
    FormDataSheet->prepareFor(DataSheetOpening::EmptySheet);
    QString block;
    for (int i = 0; i < 320; ++i)
        block += QString("%1\t1e15\t1\n").arg(20 + i);
    FormDataSheet->StringGridData->setCurrentCell(5, 0);
    FormDataSheet->pasteBlock(block);
    EXPECT_EQ(FormDataSheet->StringGridData->rowCount(), 325);
    EXPECT_EQ(FormDataSheet->cell(0, 325), "339");
    script.yesNoAnswers = {true};
    FormDataSheet->ButtonClearDataClick();
    EXPECT_EQ(script.texts(ScriptedModal::Message::Question).size(), 1);
    EXPECT_EQ(FormDataSheet->StringGridData->rowCount(), 299);
    EXPECT_TRUE(FormDataSheet->cell(0, 6).isEmpty());
}
