// EventLogger::Start: the poller, scheduler and mailer threads. Stop is in event_logger.cpp, so
// a program that never starts the threads needs none of this.

#include "event_threads.h"

#include "event_logger.h"
#include "event_logger_impl.h"
#include "mailer.h"
#include "poller.h"
#include "scheduler.h"
#include "smtp_client.h"

namespace {

RealClock g_realClock;

}  // namespace

bool EventLogger::Start(const EventThreadDeps& deps) {
    Impl& impl = *m_impl;
    MutexLock lock(impl.lifecycle);
    if (!impl.db || !deps.config || !deps.smartInterval) return false;
    for (const WorkerThread& t : impl.thread) {
        if (t.Started()) return false;
    }
    impl.stop.Reset();

    EventClock* clock = deps.clock ? deps.clock : &g_realClock;
    StopSignal* stop = &impl.stop;
    ConfigStore* config = deps.config;
    const std::atomic<int>* interval = deps.smartInterval;
    MailSender send = deps.send;
    if (!send) {
        SmtpOptions options;
        options.stopRequested = [stop] { return stop->Requested(); };
        send = smtpMailSender(std::move(options));
    }

    if (!impl.thread[Impl::kPoller].Start(
            [this, clock, stop]() noexcept { runPoller(*this, *clock, *stop); }))
        return false;
    if (!impl.thread[Impl::kScheduler].Start([this, clock, stop, config, interval]() noexcept {
            Scheduler scheduler(*this, *config, *interval, clock->Now());
            runScheduler(scheduler, *clock, *stop);
        }))
        return false;
    sqlite3* db = impl.db;
    return impl.thread[Impl::kMailer].Start([this, db, clock, stop, config, send]() noexcept {
        EventMailQueue queue(db, *this);
        runMailer(*config, queue, send, *clock, *stop);
    });
}
