#pragma once
// One running copy per ledger folder. The first copy holds a lock file in the
// folder for its whole run; a later start finds it held, asks the holder to
// bring its main window forward, and ends. A lock left by a crashed copy is
// taken over: its process is gone (or the number now belongs to another
// program), and no process holds the file's lock any more.
//
// QtCore only. The request travels as SIGUSR1 to the holder's process id,
// turned into a Qt signal through a pipe that the handler writes to.

#include <QObject>
#include <QString>

#include <memory>

class QLockFile;
class QSocketNotifier;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Start {
        First,          // this copy holds the lock
        AlreadyRunning, // another copy holds it (and was asked to show itself, see OnRunning)
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
    // The holder that was asked to show itself (AlreadyRunning, AskToShow); 0 otherwise.
    qint64 ownerPid() const { return m_ownerPid; }

signals:
    // Another start asked this copy to show its window.
    void showRequested();

private:
    bool listen();
    void drain();

    QString m_fileName;
    std::unique_ptr<QLockFile> m_lock;
    QSocketNotifier* m_notifier = nullptr;
    qint64 m_ownerPid = 0;
};
