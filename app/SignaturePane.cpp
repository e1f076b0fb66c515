#include "SignaturePane.h"

#include "SignatureInfo.h"
#include "StringTable.h"

#include <QTimer>

#include <cstdio>

namespace {
constexpr unsigned kTextSummary = 352; // "%s": the newest database, "%llu": the count
constexpr unsigned kTextMissing = 351;
} // namespace

CSignaturePane::CSignaturePane(QWidget* pParent) : QLabel(pParent), m_pTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("SignaturePane"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    connect(m_pTimer, &QTimer::timeout, this, [this] { Refresh(std::time(nullptr)); });
    m_pTimer->start(kRefreshMinutes * 60 * 1000);
}

QString CSignaturePane::Summary(const CSignatureInfo& info) {
    if (info.IsEmpty())
        return QString::fromUtf8(LoadResString(kTextMissing));
    char text[512];
    std::snprintf(text, sizeof text, LoadResString(kTextSummary), info.NewestText().c_str(),
                  static_cast<unsigned long long>(info.nSignatures));
    return QString::fromUtf8(text);
}

void CSignaturePane::Refresh(std::time_t now) {
    const CSignatureInfo info = CSignatureInfo::Read(SignatureFolder());
    const std::string warning = info.Warning(now);
    m_bWarning = !warning.empty();
    setText(m_bWarning ? QString::fromUtf8(warning) : Summary(info));
    // A warning stands out; the details are one hover away.
    setStyleSheet(m_bWarning ? QStringLiteral("QLabel { color: #b00000; font-weight: bold; }")
                             : QString());
    QString details = QString::fromUtf8(info.strFolder);
    if (!info.IsEmpty())
        details += QStringLiteral(": ") + QString::fromUtf8(info.Versions());
    setToolTip(details);
}
