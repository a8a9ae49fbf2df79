// Every modal interaction of the program goes through this interface: file
// dialogs, message boxes, the printer set-up, the conversion-error box and
// the program's own modal windows. Tests and the batch program install a
// scripted implementation that answers without showing anything.
#pragma once

#include "toolkit/FigureSize.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QWidget;
class QDialog;
class QPrinter;

class ModalInterface {
public:
    virtual ~ModalInterface() = default;

    // File dialogs. `filter` is a list "Description|*.a;*.b|Description|*.c";
    // `filterIndex` is 1-based and is updated to the filter the user chose;
    // `fileName` holds the proposed name and receives the chosen path.
    // Return false when the user cancels.
    virtual bool openFile(QWidget* parent, const QString& filter, int& filterIndex,
                          QString& fileName) = 0;
    virtual bool saveFile(QWidget* parent, const QString& filter, int& filterIndex,
                          QString& fileName) = 0;

    // The save dialog of a figure: `filter` is the window's own list (BMP),
    // the dialog adds PNG, SVG and PDF and asks the size they are drawn at.
    virtual bool saveFigureFile(QWidget* parent, const QString& filter, int& filterIndex,
                                QString& fileName, FigureSize& size)
    {
        (void)size;
        return saveFile(parent, filter, filterIndex, fileName);
    }

    virtual void error(QWidget* parent, const QString& text) = 0;
    virtual void confirmation(QWidget* parent, const QString& text) = 0;
    virtual bool yesNo(QWidget* parent, const QString& text) = 0;
    // Work not yet saved is about to be dropped: save it first, drop it, or
    // keep everything as it is.
    enum class Unsaved { Save, Discard, Cancel };
    virtual Unsaved unsavedWork(QWidget* parent, const QString& text) = 0;
    // The toolkit's box for a typed text that does not convert to a number.
    virtual void conversionError(QWidget* parent, const QString& text) = 0;
    // Printer set-up; true when confirmed (the printer is then configured).
    virtual bool printerSetup(QWidget* parent, QPrinter* printer) = 0;
    // Runs one of the program's own windows modally; returns its result code.
    virtual int execWindow(QDialog* window) = 0;
};

// The implementation in force (the real dialogs unless a test replaced it).
ModalInterface& modal();
// Installs `m` (not owned); nullptr restores the real dialogs.
void setModal(ModalInterface* m);

// Real dialogs of the toolkit.
class WidgetModal : public ModalInterface {
public:
    bool openFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName) override;
    bool saveFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName) override;
    bool saveFigureFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName,
                        FigureSize& size) override;
    void error(QWidget* parent, const QString& text) override;
    void confirmation(QWidget* parent, const QString& text) override;
    bool yesNo(QWidget* parent, const QString& text) override;
    Unsaved unsavedWork(QWidget* parent, const QString& text) override;
    void conversionError(QWidget* parent, const QString& text) override;
    bool printerSetup(QWidget* parent, QPrinter* printer) override;
    int execWindow(QDialog* window) override;
};

// Scripted answers for tests and the batch program. Every message shown is
// recorded; file dialogs take queued answers (an empty queue cancels), yes/no
// questions take queued answers (an empty queue answers `defaultYes`), and
// so do the questions on unsaved work (an empty queue discards, as the
// program did before it asked).
class ScriptedModal : public ModalInterface {
public:
    struct Message {
        enum Kind { Error, Confirmation, Question, ConversionError, UnsavedQuestion } kind;
        QString text;
    };
    struct FileDialog {
        bool save = false;
        QString filter;
        int filterIndex = 0;      // the index the program selected
        QString proposedName;     // the name the program proposed
    };
    // An answer to a file dialog: the path, or empty to cancel. When
    // `useProposed` is set, the proposed name is confirmed as it is.
    struct FileAnswer {
        QString path;
        bool useProposed = false;
    };

    std::vector<Message> messages;
    std::vector<FileDialog> fileDialogs;
    std::deque<FileAnswer> fileAnswers;
    std::deque<bool> yesNoAnswers;
    bool defaultYes = false;
    std::deque<Unsaved> unsavedAnswers;
    bool printerAnswer = false;
    int printerDialogs = 0;
    // Called for each modal window; returns its result. Default: rejected.
    std::function<int(QDialog*)> windowHandler;
    // The size every figure dialog answers with.
    FigureSize figureSize;
    std::vector<QString> windowsShown; // object names of the windows run

    void answerFile(const QString& path) { fileAnswers.push_back({path, false}); }
    void acceptProposedFile() { fileAnswers.push_back({QString(), true}); }
    void cancelFile() { fileAnswers.push_back({QString(), false}); }
    QStringList texts(Message::Kind kind) const;
    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }

    bool openFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName) override;
    bool saveFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName) override;
    bool saveFigureFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName,
                        FigureSize& size) override;
    void error(QWidget* parent, const QString& text) override;
    void confirmation(QWidget* parent, const QString& text) override;
    bool yesNo(QWidget* parent, const QString& text) override;
    Unsaved unsavedWork(QWidget* parent, const QString& text) override;
    void conversionError(QWidget* parent, const QString& text) override;
    bool printerSetup(QWidget* parent, QPrinter* printer) override;
    int execWindow(QDialog* window) override;

private:
    bool answer(bool save, const QString& filter, int& filterIndex, QString& fileName);
};

// Shows the boxes of an outcome of the analysis object, in order.
struct OutcomeMessage;
void showMessages(QWidget* parent, const std::vector<OutcomeMessage>& messages);

// Reads a number typed in an edit field the way the toolkit converts it: a
// text that is not a number shows the conversion-error box and returns false,
// and the handler stops there.
class QLineEdit;
bool editToDouble(QLineEdit* edit, double& value);
bool textToDouble(const QString& text, double& value);
bool textToInt(const QString& text, int& value);
