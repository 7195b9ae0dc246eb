#pragma once

#include "ItemDictionary.h"
#include "ShredReport.h"

#include <QList>
#include <QString>

#include <functional>

class ZPHShred;

/// The shredding run over the list tree, on a worker thread: every checked file goes to the
/// engine, then every folder the run left empty on disk is removed. The item dictionaries are
/// only read; the GUI thread leaves them alone while a run lasts. A file is erased only if it
/// is still the very file that was listed.
class ShreddingWalk
{
public:
    /// `showPath` is called on the worker thread with the path being worked on.
    ShreddingWalk(ZPHShred& engine, int methodindex, std::function<void(const QString&)> showPath);

    /// Walks `items` (a snapshot of the top-level list taken on the GUI thread).
    void run(const QList<ItemRef>& items);

    /// What could not be erased: each engine run's failures, checked items that could not be
    /// handed over, and folder removals that failed.
    const QList<ShredFailure>& failures() const { return m_failures; }
    qint64 filesErased() const { return m_filesErased; }
    quint64 bytesErased() const { return m_bytesErased; }
    /// The allocated size of the files really erased, taken before each was overwritten.
    double allocatedBytesErased() const { return m_allocatedBytesErased; }
    bool aborted() const { return m_aborted; }

private:
    void walk(const QList<ItemRef>& items);
    void shredListedFile(const ItemDictionary& item);
    /// Removes the listed folder when it is empty; false when it is still there with entries.
    bool removeIfEmpty(const FileDirectory& record);
    /// Every file and empty folder below `item` (or the item itself when nothing is listed
    /// below it) is checked: the user meant all of it to go.
    static bool fullyChecked(const ItemDictionary& item);

    ZPHShred& m_engine;
    int m_methodindex;
    std::function<void(const QString&)> m_showPath;
    QList<ShredFailure> m_failures;
    qint64 m_filesErased = 0;
    quint64 m_bytesErased = 0;
    double m_allocatedBytesErased = 0;
    bool m_aborted = false;
};
