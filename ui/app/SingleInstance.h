#pragma once
// One running copy per ledger folder. The first copy holds an flock on
// `.Vantrel.lock` in the folder for its whole run; a later start finds it held,
// asks the holder to bring its main window forward, and ends. A lock whose
// holder is gone is simply taken: the kernel drops an flock with its holder.
//
// The request travels as a datagram to a local socket in the same folder,
// bound by the lock's holder only. No process id read from a file is ever
// signalled: the file may name any process (another PID namespace, another
// host on a shared home, or a plain corrupted file). The lock file's first
// line is our process id, for people and tests; nothing reads it back.
//
// Whatever sits where the lock belongs (a FIFO, a link, a directory, a huge
// file) is moved aside, never read, never deleted.
//
// QtCore only.

#include <QObject>
#include <QString>

class QSocketNotifier;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Start {
        First,          // this copy holds the lock
        AlreadyRunning, // another copy holds it (see reachedRunningCopy)
        Unguarded,      // no lock could be made (e.g. the folder cannot be written)
    };
    // What a later start does when another copy holds the lock.
    enum class OnRunning {
        AskToShow,  // a start by hand: bring the running copy's window forward
        StaySilent, // a start at login: leave the running copy alone
    };

    // The lock is `folder`/.Vantrel.lock; nothing is touched before start().
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    Start start(OnRunning onRunning = OnRunning::AskToShow);
    QString lockFileName() const { return m_fileName; }
    QString socketName() const { return m_socketName; }
    // AlreadyRunning with AskToShow: the holder got the request. False when
    // the holder does not answer (not one of ours, hung, on another host).
    bool reachedRunningCopy() const { return m_reached; }
    // What the user should be told about the lock once the program runs
    // (something else was in its place); empty when all was well.
    QString notice() const { return m_notice; }

signals:
    // Another start asked this copy to show its window.
    void showRequested();

private:
    int openLock();
    bool holdsPath() const;
    void writeInfo();
    void listen();
    void drain();

    QString m_folder;
    QString m_fileName;
    QString m_socketName;
    QString m_notice;
    int m_lockFd = -1;
    int m_socketFd = -1;
    bool m_reached = false;
    QSocketNotifier* m_notifier = nullptr;
};
