#pragma once

#include <QString>

#include <memory>

class QFile;
class QPrinter;
class QTemporaryFile;

// The PDF output of one print job, checked to its last byte. The PDF engine writes its file without telling
// anyone when a write fails, so a job on a full disk or on a device that takes nothing (/dev/full) would
// pass for printed. The job therefore writes into a temporary file, and at its end the whole PDF is copied
// into the file the user chose, with every write checked. A job for a print queue is checked for the
// queue's refusal instead; a preview that only draws its pages passes through unchanged.
class CPrintJobOutput {
public:
    explicit CPrintJobOutput(QPrinter& printer);
    ~CPrintJobOutput();
    CPrintJobOutput(const CPrintJobOutput&) = delete;
    CPrintJobOutput& operator=(const CPrintJobOutput&) = delete;

    // Opens the chosen file and points the printer at the temporary one. FALSE when the chosen file cannot
    // be opened for writing, or no temporary file can be made: the job cannot start.
    bool Begin();
    // After the printer has ended the job: the PDF goes into the chosen file and the printer points at it
    // again, or the queue's answer is read. Empty when the whole job arrived, else a sentence saying what
    // was lost and why.
    QString Finish();

private:
    QPrinter& m_printer;
    bool m_bRedirected = false;
    bool m_bQueued = false;
    QString m_target;
    std::unique_ptr<QFile> m_targetFile;
    std::unique_ptr<QTemporaryFile> m_temporary;
};
