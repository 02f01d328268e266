#include "gui/scripted_run.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "export/save_dialog.h"
#include "gui/file_viewer_widget.h"
#include "gui/gui_session.h"
#include "gui/message_list_view.h"
#include "gui/qt_text.h"

namespace gui {
namespace {

constexpr int kTick = 2;  // ms
constexpr qint64 kGiveUp = 30 * 60 * 1000;

qint64 threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

}  // namespace

CLatencyProbe::CLatencyProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTick);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    clock_.start();
    timer_.start();
}

void CLatencyProbe::setPhase(const std::string& phase) {
    phase_ = phase;
    holds_.try_emplace(phase);
    last_ = clock_.elapsed();
    lastCpu_ = threadCpuMs();
}

void CLatencyProbe::tick() {
    const qint64 now = clock_.elapsed();
    const qint64 cpu = threadCpuMs();
    if (!phase_.empty()) {
        Hold& hold = holds_[phase_];
        hold.wall = std::max(hold.wall, now - last_ - kTick);
        hold.cpu = std::max(hold.cpu, cpu - lastCpu_);
    }
    last_ = now;
    lastCpu_ = cpu;
}

CScriptedRun::CScriptedRun(CGuiSession& session, ScriptedRunOptions options)
    : session_(session), options_(std::move(options)) {
    poll_.setInterval(50);
    QObject::connect(&poll_, &QTimer::timeout, [this] { step(); });
    poll_.start();
    deadline_.start();
    probe_.setPhase("scan");
    if (!options_.saveTo.isEmpty()) {
        // The "Save output" dialog filled in as a person would: PST, one file, the folder typed in.
        session_.host().automation.dialogShown = [this](QDialog& dialog) {
            auto button = [&](int id) {
                return dialog.findChild<QAbstractButton*>(QStringLiteral("button%1").arg(id));
            };
            if (QAbstractButton* pst = button(exporter::IDC_SAVE_PST)) pst->click();
            if (QAbstractButton* single = button(exporter::IDC_SINGLE_PST)) single->click();
            if (auto* folder = dialog.findChild<QLineEdit*>(QStringLiteral("folder")))
                folder->setText(options_.saveTo);
            if (auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"))) ok->click();
        };
    }
}

bool CScriptedRun::waiting() {
    return !session_.idle() && deadline_.elapsed() < kGiveUp;
}

void CScriptedRun::step() {
    app::CMainFrame& frame = session_.frame();
    switch (stage_) {
        case 0: {
            if (waiting()) return;
            stage_ = 1;
            probe_.setPhase("listing");
            frame::TreeItem child = frame.mailboxTree.GetChildItem(frame.mailboxTree.GetRootItem());
            if (child) frame.mailboxTree.Click(child, frame::TVHT_ONITEMLABEL);
            listing_.start();
            return;
        }
        case 1:
            if (!options_.listingShot.isEmpty() && listing_.elapsed() > 100) {
                session_.window().grab().save(options_.listingShot, "PNG");
                options_.listingShot.clear();
            }
            if (waiting()) return;
            stage_ = 2;
            probe_.setPhase("preview");
            session_.window().messageList().listModel().flush();
            if (frame.messageList.GetItemCount() > 0) session_.window().messageList().previewRow(0);
            return;
        case 2:
            if ((waiting() || session_.window().fileViewer().rendering()) && deadline_.elapsed() < kGiveUp)
                return;
            stage_ = 3;
            if (options_.saveTo.isEmpty()) {
                QTimer::singleShot(400, [this] { finish(); });
                return;
            }
            probe_.setPhase("save");
            session_.window().runCommand(app::ID_SAVE);
            return;
        case 3:
            if (options_.saveTo.isEmpty() || waiting()) return;
            stage_ = 4;
            finish();
            return;
        default:
            return;
    }
}

void CScriptedRun::finish() {
    poll_.stop();
    bool ok = true;
    if (!options_.screenshot.isEmpty()) {
        ok = session_.window().grab().save(options_.screenshot, "PNG");
        if (!ok) std::fprintf(stderr, "kelva-mbox2pst: cannot write %s\n", qPrintable(options_.screenshot));
    }
    if (options_.measure) {
        for (const auto& [phase, hold] : probe_.holds())
            std::printf("%-8s longest hold %lld ms (the window's own computing in it: %lld ms)\n",
                        phase.c_str(), static_cast<long long>(hold.wall), static_cast<long long>(hold.cpu));
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(session_.dispatcher().longestWait());
        std::printf("longest wait for a worker with input held back: %lld ms\n",
                    static_cast<long long>(wait.count()));
        std::fflush(stdout);
    }
    QCoreApplication::exit(ok ? 0 : 1);
}

}  // namespace gui
