#pragma once

#include <QFileSystemWatcher>
#include <QListWidget>

// The journal's last lines, newest first, read again whenever the journal
// grows, whichever program writes it.
class JournalView : public QListWidget
{
    Q_OBJECT
public:
    explicit JournalView(int lines, QWidget *parent = nullptr);

private:
    void reload();
    void watch();

    int m_lines;
    QFileSystemWatcher m_watcher;
};
