// The windows of the program as the other windows see them: each secondary
// window registers itself under its id at start-up, and a window that opens,
// prepares or closes another one does so through the registry, never through
// the other window's header. A window this build does not have is simply not
// registered: the calls then do nothing and `has` says so, so that a caller
// can disable the control that would open it.
#pragma once

#include "analysis/data/Outcomes.h"

#include <QString>
#include <array>
#include <functional>

class QDialog;
class QProgressBar;
class QWidget;

enum class WindowId {
    HowToInput,
    DataSheet,
    Convert,
    Editor,
    AboutBox,
    Information,
    SampleCondition,
    Remarks,
    ObtainedResults,
    AutomaticEvaluationType,
    ConventionalAnalysis,
    DHES,
    ConventionalAnalysis2,
    OneDonorOneAcceptorConfirmation,
    HTML,
    ProgressReport,
    DetailedProgressReport,
    FunctionType,
    DeepLevel,
    ExcitedStates,
    CurveFitting,
    BestModel,
    Count
};

// Result codes of the windows run modally (QDialog's Rejected/Accepted and
// the two buttons of the remarks window).
namespace WindowResult {
enum : int { Rejected = 0, Accepted = 1, EvaluationAgain = 1, Continue = 7 };
}

// What the main window learns from a secondary window that changed the
// analysis object.
enum class WindowEvent {
    FunctionTypeChanged, // the function type window switched H <-> S
    DataSheetSaved,      // the data sheet wrote a data file
    ConversionSaved,     // the converter wrote a data file
};

// prepareFor() argument of the data sheet: open with an empty grid and
// form for a new sample instead of the data in use.
namespace DataSheetOpening {
enum : int { EmptySheet = 1 };
}

// The face every secondary window shows to the others.
class ManagedWindow {
public:
    virtual ~ManagedWindow() = default;
    virtual QWidget* widget() = 0;
    // Re-reads the analysis object and discards the window's earlier
    // results; run before every showing.
    virtual void prepare() {}
    // The same for a window that shows one of several things (the remarks
    // window: the stage); the default ignores the argument.
    virtual void prepareFor(int) { prepare(); }
    // Shows a page or a file (help viewer, file viewer).
    virtual void navigate(const QString&) {}
    // Back to the state after start-up (All Clear).
    virtual void resetWindow() {}
    // The bar of a progress window; null for every other window.
    virtual QProgressBar* progressBar() { return nullptr; }
};

class WindowRegistry {
public:
    void add(WindowId id, ManagedWindow* window);
    void remove(WindowId id);
    void clear();
    ManagedWindow* find(WindowId id) const;
    bool has(WindowId id) const { return find(id) != nullptr; }

    // prepare(), then shown and raised.
    void prepareAndShow(WindowId id);
    // prepareFor(argument) (prepare() for a negative one), then run modally
    // through the modal interface; Rejected when the window is missing.
    int prepareAndExec(WindowId id, int argument = -1);
    // Runs the window modally as it is.
    int exec(WindowId id);
    void prepare(WindowId id);
    void close(WindowId id);

    // The main window listens; secondary windows notify, with the page reset
    // of the core operation that changed the analysis.
    std::function<void(WindowEvent, PageReset)> listener;
    void notify(WindowEvent event, PageReset resetFrom) const;
    // Asked by a window whose save is about to replace the analysis in use
    // (the data sheet, the converter): false when the user keeps it.
    std::function<bool()> replaceGuard;
    bool mayReplaceAnalysis() const { return !replaceGuard || replaceGuard(); }

private:
    std::array<ManagedWindow*, static_cast<int>(WindowId::Count)> windows_{};
};

// The registry of the program's windows.
WindowRegistry& windows();
