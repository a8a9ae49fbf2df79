// The file viewer: a plain-text editor for the files the program reads and
// writes. Files are kept as bytes: a file saved unchanged is written back
// byte for byte (encoding and line ends included), an edited one keeps the
// encoding and the line ends it was read with.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QByteArray>
#include <QDialog>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPrinter;

class TFormEditor : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    explicit TFormEditor(QWidget* parent = nullptr);
    ~TFormEditor() override;
    QWidget* widget() override { return this; }
    // Empties the text before every showing. The file name survives, but
    // "Save" asks for a name again until a file is opened or saved, so the
    // emptied text never overwrites the last file unasked.
    void prepare() override;
    // Loads `path` into the text, as "Open" does with a chosen file.
    void navigate(const QString& path) override;

    void OpenEditorClick();
    void SaveEditorClick();
    void SaveAsEditorClick();
    void PrintEditorClick();
    void AllClearEditorClick();
    void ExitEditorClick();
    void CutEditorClick();
    void CopyEditorClick();
    void PasteEditorClick();

    QString fileName() const { return fileName_; }
    // The text differs from the file last loaded or saved (or, after the
    // text was emptied for a showing, is not empty).
    bool edited() const;
    // Esc and the window frame: edits are not dropped without a question.
    void reject() override;
    QPrinter* printer() const { return printer_.get(); }

    QMenuBar* MainMenu = nullptr;
    QMenu* FileEditor = nullptr;
    QMenu* EditEditor = nullptr;
    QAction* OpenEditor = nullptr;
    QAction* SaveEditor = nullptr;
    QAction* SaveAsEditor = nullptr;
    QAction* PrintEditor = nullptr;
    QAction* AllClearEditor = nullptr;
    QAction* ExitEditor = nullptr;
    QAction* CutEditor = nullptr;
    QAction* CopyEditor = nullptr;
    QAction* PasteEditor = nullptr;
    QMenu* PopupMenuEditor = nullptr;
    QAction* Cut1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QPlainTextEdit* RichEditEditor = nullptr;

    static const QString OpenDialogFilter;
    static const QString SaveDialogFilter;
    static const QString WindowCaption;

private:
    bool load(const QString& path);
    bool saveTo(const QString& path);
    void saveThroughDialog();
    QString currentText() const;
    // Save / discard / cancel when there are edits; true to go on.
    bool mayDropEdits(const QString& when);
    // Loads `path` and makes it the current file.
    void openPath(const QString& path);

    QString fileName_;
    bool askBeforeSave_ = false;
    // The file as read, and its text as shown: saved unchanged, the bytes
    // go back as they were.
    QByteArray loadedBytes_;
    QString loadedText_;
    bool utf8_ = true;
    bool crlf_ = true;
    std::unique_ptr<QPrinter> printer_;
};
