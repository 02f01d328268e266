#pragma once
// A run of the program without a person at the keyboard, for the documentation and for measuring:
// once the mailboxes given at start are scanned, it lists the first one, previews its first message
// and then saves the window as PNG, or saves the checked mailboxes through the "Save output" dialog,
// measuring how long the window at most held back its input in each step (scan, listing, preview, save).
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <map>
#include <string>

namespace gui {

class CGuiSession;

// Measures the longest stretch in which the event loop did not come round: a short precise timer
// that should fire every few milliseconds, and the dispatcher's longest wait with input held back.
class CLatencyProbe {
  public:
    CLatencyProbe();
    void setPhase(const std::string& phase);
    struct Hold {
        qint64 wall = 0;  // ms between two turns of the loop, beyond the timer's period
        qint64 cpu = 0;   // ms the user-interface thread itself computed in its longest gap
    };
    // The longest hold of each phase. On a loaded machine the wall time includes the time the thread
    // waited for a processor; the processor time is what the program itself spent.
    std::map<std::string, Hold> holds() const { return holds_; }

  private:
    void tick();
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 lastCpu_ = 0;
    std::string phase_;
    std::map<std::string, Hold> holds_;
};

struct ScriptedRunOptions {
    QString screenshot;    // save the window here once the first message is previewed
    QString listingShot;   // the window while the listing runs, a tenth of a second after it started
    QString saveTo;        // or save the checked mailboxes as one PST file into this folder
    bool measure = false;  // print the longest hold of each step to the standard output
};

class CScriptedRun {
  public:
    CScriptedRun(CGuiSession& session, ScriptedRunOptions options);

  private:
    void step();
    void finish();
    bool waiting();

    CGuiSession& session_;
    ScriptedRunOptions options_;
    QTimer poll_;
    QElapsedTimer deadline_;
    CLatencyProbe probe_;
    int stage_ = 0;
    QElapsedTimer listing_;
};

}  // namespace gui
