#pragma once

#include <QElapsedTimer>
#include <QLabel>

class FileList;

// What the last run came to, kept in the status bar until the next one:
// how many documents it made, in what time, and how many files of the list
// are in error (then in the error colour). Automatic runs, which make no
// documents, leave the summary of the last run as it was. When a run ends
// while the user is in another window, the window asks for attention.
class RunSummary : public QLabel
{
    Q_OBJECT
public:
    explicit RunSummary(FileList* list, QWidget* parent = nullptr);

    static QString summaryText(int documents, int filesWithErrors, qint64 msecs, bool stopped);
    // "1 документ", "2 документа", "5 документов".
    static QString countText(int count, const QString& one, const QString& few, const QString& many);

    bool hasSummary() const { return !text().isEmpty(); }

private slots:
    void runStarted();
    void runFinished();

private:
    int documentCount() const;
    int filesWithErrors() const;

    FileList* list;
    QElapsedTimer clock;
    int documentsBefore = 0;
};
