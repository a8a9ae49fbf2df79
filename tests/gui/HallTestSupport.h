// Shared set-up of the main-window tests: every window created with scripted
// dialogs, destroyed again after each test.
#pragma once

#include "analysis/data/Analysis.h"
#include "TestFiles.h"
#include "toolkit/ChartPlot.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "toolkit/Modal.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTabWidget>
#include <gtest/gtest.h>

class MainWindowTest : public ::testing::Test {
protected:
    ScriptedModal script;

    void SetUp() override { setModal(&script); }
    void TearDown() override
    {
        destroyForms();
        setModal(nullptr);
    }
    TFormMain* create(int releaseFlag)
    {
        createForms(releaseFlag);
        return FormMain;
    }
    // An example data or truth file; the test fails naming it if it does not open.
    static QString example(const char* name)
    {
        return QString::fromStdString(testfiles::example(name));
    }
    // Loads `path` through "Load Data" with the open dialog answered.
    void load(TFormMain* m, const QString& path)
    {
        script.answerFile(path);
        m->ButtonLoadExperimentalClick();
    }
};
