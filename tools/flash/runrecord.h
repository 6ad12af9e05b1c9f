#pragma once

#include "flash/flashjournal.h"
#include "flash/flashreport.h"
#include "flash/flashrequest.h"
#include "flash/rack.h"

// Everything written once the downloads are over, or when they cannot be
// waited for: the journal's last line, then the report (before any summary,
// so that nothing after it can cost it).
class RunRecord {
public:
    RunRecord(const FlashRequest &request, FlashRun &run, const Rack &rack, FlashJournal &journal)
        : m_request(request)
        , m_run(run)
        , m_rack(rack)
        , m_journal(journal)
    {
    }

    // The exit code: the run's, or 3 when the report could not be written.
    int write(int exitCode);

private:
    const FlashRequest &m_request;
    FlashRun &m_run;
    const Rack &m_rack;
    FlashJournal &m_journal;
};

// Writes a journal line for every reader's start, failure, reconnect and end.
void journalRack(const Rack &rack, FlashJournal &journal);
