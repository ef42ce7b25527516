#include "JournalView.h"

#include "Journal.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

JournalView::JournalView(int lines, QWidget *parent)
    : QListWidget(parent)
    , m_lines(lines)
{
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &JournalView::reload);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &JournalView::reload);
    reload();
}

void JournalView::reload()
{
    watch();
    QStringList lines = Journal::tail(m_lines);
    std::reverse(lines.begin(), lines.end());
    clear();
    addItems(lines);
}

// The folder tells when the journal is made or rotated; the file, when a
// line is added. A watcher forgets a file that was renamed away.
void JournalView::watch()
{
    const QString folder = QFileInfo(Journal::path()).absolutePath();
    QDir().mkpath(folder);
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (QFileInfo::exists(Journal::path()) && !m_watcher.files().contains(Journal::path()))
        m_watcher.addPath(Journal::path());
}
