#include "Clipboard.h"

#include "Clock.h"

#include "ClipPayload.h"
#include "Job.h"
#include "ModalSeam.h"
#include "RegInterface.h"
#include "StringTable.h"
#include "VigilDoc.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace {
constexpr unsigned IDS_CLIP_OPEN_FAILED = 102;
constexpr unsigned IDS_CLIP_NO_DATA = 103;
constexpr unsigned IDS_COPY_PREFIX = 142;
} // namespace

QString CJobClipboard::Format() {
    return QStringLiteral("application/x-vex-tempora-clipvigil");
}

QClipboard* CJobClipboard::Board() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::clipboard()
               : nullptr;
}

bool CJobClipboard::CanPaste() {
    QClipboard* board = Board();
    const QMimeData* data = board != nullptr ? board->mimeData() : nullptr;
    return data != nullptr && data->hasFormat(Format());
}

std::vector<BYTE> CJobClipboard::BuildPayload(CRegInterface& store,
                                              const std::vector<std::string>& names,
                                              Copied& copied) {
    std::vector<std::vector<BYTE>> records;
    for (const std::string& name : names) {
        CJob job;
        // A job that vanished since it was listed is left out, so the count
        // always matches the records that follow it.
        if (!store.ReadJob(name.c_str(), &job))
            continue;
        records.push_back(job.Store());
        copied.emplace_back(name, records.back());
    }
    return EncodeClipPayload(records);
}

bool CJobClipboard::Publish(CRegInterface& store, const std::vector<std::string>& names,
                            Copied& copied) {
    std::vector<BYTE> payload = BuildPayload(store, names, copied);
    QClipboard* board = Board();
    if (board == nullptr) {
        AfxMessageBox(IDS_CLIP_OPEN_FAILED);
        return false;
    }
    auto* data = new QMimeData;
    data->setData(Format(), QByteArray(reinterpret_cast<const char*>(payload.data()),
                                       static_cast<qsizetype>(payload.size())));
    board->setMimeData(data);
    // The clipboard owns the data now. When the display refused it, the
    // clipboard does not offer the format, and a cut must not go on.
    if (!CanPaste()) {
        AfxMessageBox(IDS_CLIP_OPEN_FAILED);
        return false;
    }
    return true;
}

bool CJobClipboard::Copy(CRegInterface& store, const std::vector<std::string>& names) {
    Copied copied;
    return Publish(store, names, copied);
}

bool CJobClipboard::Cut(CRegInterface& store, const std::vector<std::string>& names) {
    Copied copied;
    if (!Publish(store, names, copied))
        return false;
    // Only jobs that are on the clipboard as they are stored are deleted: a
    // job that could not be read, or changed since, is not lost through a cut.
    for (const auto& [name, record] : copied)
        store.DeleteJob(name.c_str(), &record);
    return true;
}

std::string CJobClipboard::FreeName(CRegInterface& store, const std::string& name) {
    const std::string prefix = LoadResString(IDS_COPY_PREFIX);
    CJob probe;
    probe.SetName(name.c_str());
    std::string current = probe.GetName();
    while (store.ReadJob(current.c_str(), nullptr)) {
        probe.SetName((prefix + current).c_str());
        if (current == probe.GetName())
            break;
        current = probe.GetName();
    }
    return current;
}

int CJobClipboard::Paste(CRegInterface& store) {
    QClipboard* board = Board();
    const QMimeData* data = board != nullptr ? board->mimeData() : nullptr;
    if (data == nullptr) {
        AfxMessageBox(IDS_CLIP_OPEN_FAILED);
        return 0;
    }
    if (!data->hasFormat(Format())) {
        AfxMessageBox(IDS_CLIP_NO_DATA);
        return 0;
    }
    // A copy of the bytes: adding a job may run code that changes the clipboard.
    const QByteArray bytes = data->data(Format());
    ClipJobs clip = ReadClipJobs(reinterpret_cast<const BYTE*>(bytes.constData()),
                                 static_cast<size_t>(bytes.size()));
    int added = 0;
    for (const std::unique_ptr<CJob>& job : clip.jobs) {
        if (job->CheckIncoming() != CJob::EFault::None) {
            AfxMessageBox(CannotCarryOutText(*job).c_str(), MB_OK);
            continue;
        }
        job->SetName(FreeName(store, job->GetName()).c_str());
        job->PrepareIncoming(nullptr, CurrentTime());
        if (store.AddJob(*job))
            ++added;
    }
    if (!clip.bComplete)
        AfxMessageBox(IDS_CLIP_NO_DATA);
    return added;
}
