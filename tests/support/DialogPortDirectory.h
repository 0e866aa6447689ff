#pragma once

#include <memory>
#include <string>
#include <vector>

// A port directory for the duration of a test: COMn links to pseudo-terminals, so that the port list of
// the serial settings dialog offers exactly the given numbers (plus any serial device the machine has).
// The previous port directory comes back at destruction.
class DialogPortDirectory {
public:
    explicit DialogPortDirectory(const std::vector<unsigned>& numbers);
    ~DialogPortDirectory();
    DialogPortDirectory(const DialogPortDirectory&) = delete;
    DialogPortDirectory& operator=(const DialogPortDirectory&) = delete;

    // The device end a test writes to, to send bytes to port COMn; -1 when there is none.
    int MasterOf(unsigned number) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
