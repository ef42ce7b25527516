#include "JournalView.h"

#include "Journal.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

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
    Journal::Tail tail = Journal::tail(m_lines);
    std::reverse(tail.lines.begin(), tail.lines.end());
    if (!tail.failure.isEmpty())
        tail.lines.prepend(u"Le journal ne peut pas être lu : %1"_s.arg(tail.failure));
    clear();
    addItems(tail.lines);
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
