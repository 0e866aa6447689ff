#include "framework/gui/printing/PrintSequenceOutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPaintEngine>
#include <QPrinter>
#include <QTemporaryFile>

#if KESTRUNE_HAVE_CUPS
#include <cups/cups.h>
#endif

namespace {

// A PDF file that the engine finished ends with its end-of-file marker, followed by at most a line end.
bool EndsLikeAFinishedPdf(const QByteArray& pdf) {
    const int marker = pdf.lastIndexOf("%%EOF");
    return marker >= 0 && pdf.size() - marker <= 7;
}

// Whether the printer writes a PDF file itself, rather than drawing into a preview or handing the job to
// a print queue.
bool WritesPdfFile(QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty())
        return false;
    const QPaintEngine* engine = printer.paintEngine();
    return engine != nullptr && engine->type() == QPaintEngine::Pdf;
}

// Whether the printer hands its job to a print queue (the system's printers are queues of CUPS).
bool SendsToQueue(QPrinter& printer) {
    const QPaintEngine* engine = printer.paintEngine();
    return printer.outputFormat() == QPrinter::NativeFormat && engine != nullptr &&
           engine->type() == QPaintEngine::Pdf;
}

// The queue's answer to the job just ended: the printer hands the job over when it ends, and says nothing of
// a refusal (a queue that rejects jobs, a server that went away) but what the CUPS library last heard.
QString QueueRefusal(const QString& printerName) {
#if KESTRUNE_HAVE_CUPS
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        return QObject::tr("The printer %1 did not take the print job: %2.")
            .arg(printerName, QString::fromUtf8(cupsLastErrorString()));
    }
#else
    (void)printerName;
#endif
    return QString();
}

} // namespace

CPrintJobOutput::CPrintJobOutput(QPrinter& printer) : m_printer(printer) {}

CPrintJobOutput::~CPrintJobOutput() {
    if (m_bRedirected)
        m_printer.setOutputFileName(m_target);
}

bool CPrintJobOutput::Begin() {
    m_bQueued = SendsToQueue(m_printer);
    if (!WritesPdfFile(m_printer))
        return true;
    m_target = m_printer.outputFileName();
    m_targetFile = std::make_unique<QFile>(m_target);
    if (!m_targetFile->open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    m_temporary = std::make_unique<QTemporaryFile>(
        QDir::temp().filePath(QCoreApplication::applicationName() + QStringLiteral("-XXXXXX.pdf")));
    if (!m_temporary->open())
        return false;
    m_temporary->close();
    m_printer.setOutputFileName(m_temporary->fileName());
    m_bRedirected = true;
    return true;
}

QString CPrintJobOutput::Finish() {
    if (m_bQueued)
        return QueueRefusal(m_printer.printerName());
    if (!m_bRedirected)
        return QString();
    m_printer.setOutputFileName(m_target);
    m_bRedirected = false;

    QFile made(m_temporary->fileName());
    const QByteArray pdf = made.open(QIODevice::ReadOnly) ? made.readAll() : QByteArray();
    // The temporary file lies on another disk than the chosen one, which may be full too.
    if (!EndsLikeAFinishedPdf(pdf))
        return QObject::tr("The printout could not be made in full in %1.").arg(QDir::tempPath());
    const qint64 written = m_targetFile->write(pdf);
    const bool flushed = m_targetFile->flush();
    if (written != pdf.size() || !flushed || m_targetFile->error() != QFileDevice::NoError) {
        const QString reason = m_targetFile->errorString();
        m_targetFile->close();
        return QObject::tr("The printout could not be written to %1: %2.").arg(m_target, reason);
    }
    m_targetFile->close();
    if (m_targetFile->error() != QFileDevice::NoError)
        return QObject::tr("The printout could not be written to %1: %2.")
            .arg(m_target, m_targetFile->errorString());
    return QString();
}
