#pragma once

#include "support/TempDir.h"

#include <string>
#include <sys/types.h>

// A print server of the test's own: cupsd on a unix socket in a temporary folder, reached by this process
// (and the programs it starts) instead of the machine's server for as long as the object lives. Its queues
// are driven by a PPD whose printable area on A4 leaves a border of 6.35 mm at the sides and 12.7 mm at the
// top and bottom, as many office printers do.
class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Empty when the server runs; else why not (for the test's skip message).
    const std::string& Failure() const { return m_failure; }
    // Adds an enabled queue that accepts jobs; false when lpadmin refuses.
    bool AddQueue(const std::string& name);
    // Makes the queue refuse every new job.
    bool RejectJobs(const std::string& name);
    // The number of jobs the queue has taken, finished or not.
    int JobCount(const std::string& name);
    const std::string& Socket() const { return m_socket; }

private:
    bool RunTool(const std::string& arguments);

    TempDir m_dir;
    std::string m_socket;
    std::string m_failure;
    std::string m_previousServer;
    bool m_hadPreviousServer = false;
    bool m_bServerSet = false;
    pid_t m_pid = -1;
};
