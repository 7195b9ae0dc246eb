#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdio>

class ZPHShred;

/// The corvane-shred command: checks every path it is handed the way the application does,
/// erases the accepted ones with the shred engine and reports on standard output and error.
/// Never asks anything and never reads standard input.
class ShredCommand
{
public:
    enum ExitStatus
    {
        AllErased = 0, ///< every path was erased and removed
        NotAllErased = 1, ///< something was refused, missing or not erased
        UsageError = 2,
    };

    ShredCommand(ZPHShred& engine, FILE* out, FILE* err);
    ShredCommand(const ShredCommand&) = delete;
    ShredCommand& operator=(const ShredCommand&) = delete;

    /// `arguments` as the process got them, program name first. Returns the exit status.
    int run(const QStringList& arguments);

    static QByteArray usage();

private:
    struct Totals
    {
        qint64 files = 0;
        quint64 bytes = 0;
        qint64 otherEntries = 0;
        int pathsRemoved = 0;
        int notErased = 0;
        int refused = 0;
    };

    int usageError(const QString& message);
    void erasePath(const QString& path);
    void onFileStarting(const QString& file);
    void settleCurrentFile();
    void reportNotErased(const QString& path, const QString& reason);
    QByteArray summary(int pathCount) const;

    void showProgress();
    void clearProgress();
    /// Writes one whole line, first clearing a progress line that shares the terminal.
    void writeLine(FILE* stream, const QByteArray& text);

    ZPHShred& m_engine;
    FILE* m_out;
    FILE* m_err;
    QObject m_observerOwner;
    bool m_progressShown = false;
    bool m_progressOnLine = false;
    int m_method = 1;
    bool m_verbose = false;
    Totals m_totals;

    // The path being erased and the file the engine is working on within it.
    int m_pathIndex = 0;
    int m_pathCount = 0;
    qint64 m_filesInPath = 0;
    qint64 m_filesStarted = 0;
    quint64 m_bytesDone = 0;
    QString m_currentFile;
    quint64 m_currentSize = 0;
    bool m_currentIsRegular = false;
};
