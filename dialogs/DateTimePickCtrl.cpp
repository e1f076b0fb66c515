#include "DateTimePickCtrl.h"

#include <QCalendarWidget>
#include <QDateTime>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionSpinBox>

#include <algorithm>

namespace {

// Picker field letters and the longest run each one knows.
int MaxRun(QChar c) {
    switch (c.unicode()) {
    case 'd':
    case 'M':
    case 'y':
        return 4;
    case 'h':
    case 'H':
    case 'm':
    case 's':
    case 't':
        return 2;
    default:
        return 0;
    }
}

QString QtField(QChar c, int run) {
    switch (c.unicode()) {
    case 'y':
        return run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
    case 't':
        return QStringLiteral("AP");
    default:
        return QString(run, c);
    }
}

// Qt takes text in single quotes literally and '' as one quote.
QString QuoteLiteral(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QDateTime ToQt(const COleDateTime& value) {
    DateFields f{};
    if (value.GetStatus() != COleDateTime::valid || !value.GetDateFields(f))
        return {};
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second), Qt::UTC);
}

COleDateTime FromQt(const QDateTime& dt) {
    COleDateTime value;
    if (!dt.isValid()) {
        value.SetStatus(COleDateTime::invalid);
        return value;
    }
    const QDate d = dt.date();
    const QTime t = dt.time();
    value.SetDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    return value;
}

} // namespace

CDateTimePickCtrl::CDateTimePickCtrl(QWidget* pParent) : QDateTimeEdit(pParent) {
    // Wall-clock fields without daylight-saving gaps.
    setTimeSpec(Qt::UTC);
    SetFullRange();
    // Each field runs round within its range, as the picker's arrows do.
    setWrapping(true);
    connect(this, &QDateTimeEdit::dateTimeChanged, this, &CDateTimePickCtrl::OnEdited);
}

int CDateTimePickCtrl::GetTime(COleDateTime& value) const {
    if (m_bNone) {
        value.SetStatus(COleDateTime::null);
        return GDT_NONE;
    }
    const QDateTime dt = dateTime();
    if (!dt.isValid()) {
        value.SetStatus(COleDateTime::invalid);
        return GDT_ERROR;
    }
    value = FromQt(dt);
    return GDT_VALID;
}

bool CDateTimePickCtrl::SetTime(const COleDateTime& value) {
    const QDateTime dt = ToQt(value);
    m_bSetting = true;
    if (dt.isValid()) {
        SetNone(false);
        setDateTime(dt);
    } else {
        SetNone(true);
        setDateTime(minimumDateTime());
    }
    m_bSetting = false;
    return true;
}

bool CDateTimePickCtrl::SetFormat(const char* pszFormat, bool bKeepCursor) {
    const QString qtFormat = ToQtFormat(QString::fromUtf8(pszFormat != nullptr ? pszFormat : ""));
    if (qtFormat.isEmpty())
        return false;
    if (qtFormat == displayFormat())
        return true;
    const int cursor = lineEdit()->cursorPosition();
    const bool bSetting = m_bSetting;
    m_bSetting = true; // a format change is not a change of the value
    setDisplayFormat(qtFormat);
    // A format without a date part narrows the range to the shown day; the
    // next format may show the date again, so the whole range comes back.
    SetFullRange();
    m_bSetting = bSetting;
    if (bKeepCursor)
        lineEdit()->setCursorPosition(std::min(cursor, static_cast<int>(text().size())));
    return displayFormat() == qtFormat;
}

void CDateTimePickCtrl::SetFullRange() {
    setDateTimeRange(QDateTime(QDate(100, 1, 1), QTime(0, 0), Qt::UTC),
                     QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC));
}

int CDateTimePickCtrl::WidthForLongestText() const {
    const QFontMetrics fm(font());
    const QString format = displayFormat();
    const QDateTime current = dateTime();
    // The first seven days of every month meet every weekday and month name.
    int longest = 0;
    for (int month = 1; month <= 12; ++month)
        for (int day = 1; day <= 7; ++day) {
            const QDateTime sample(QDate(current.date().year(), month, day), current.time(),
                                   Qt::UTC);
            longest = std::max(longest, fm.horizontalAdvance(locale().toString(sample, format)));
        }
    // Room for the cursor and the editor's inner margins, then the frame and
    // the buttons as the style draws them.
    const QSize content(longest + fm.horizontalAdvance(QLatin1Char(' ')) + 6, fm.height());
    if (calendarPopup()) {
        QStyleOptionComboBox option;
        option.initFrom(this);
        option.editable = true;
        option.frame = true;
        return style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, this).width();
    }
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this).width();
}

void CDateTimePickCtrl::SetDropDownCalendar(bool bDropDown) {
    setCalendarPopup(bDropDown);
    if (bDropDown)
        calendarWidget()->installEventFilter(this);
}

QString CDateTimePickCtrl::ToQtFormat(const QString& pickerFormat) {
    QString out;
    QString literal;
    bool bHasField = false;
    auto flushLiteral = [&] {
        if (!literal.isEmpty())
            out += QuoteLiteral(literal);
        literal.clear();
    };
    const int n = static_cast<int>(pickerFormat.size());
    for (int i = 0; i < n;) {
        const QChar c = pickerFormat[i];
        if (c == QLatin1Char('\'')) {
            // Quoted text up to the closing quote, or to the end when unclosed.
            ++i;
            while (i < n) {
                if (pickerFormat[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && pickerFormat[i + 1] == QLatin1Char('\'')) {
                        literal += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal += pickerFormat[i++];
            }
            continue;
        }
        const int maxRun = MaxRun(c);
        if (maxRun == 0) {
            literal += c;
            ++i;
            continue;
        }
        int run = 0;
        while (i < n && pickerFormat[i] == c) {
            ++run;
            ++i;
        }
        flushLiteral();
        out += QtField(c, std::min(run, maxRun));
        bHasField = true;
    }
    flushLiteral();
    return bHasField ? out : QString();
}

bool CDateTimePickCtrl::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (calendarPopup() && pWatched == calendarWidget()) {
        if (pEvent->type() == QEvent::Show)
            OnDropDown();
        else if (pEvent->type() == QEvent::Hide)
            OnCloseUp();
    }
    return QDateTimeEdit::eventFilter(pWatched, pEvent);
}

void CDateTimePickCtrl::keyPressEvent(QKeyEvent* pEvent) {
    const QString typed = pEvent->text();
    if (typed.size() != 1 || !typed[0].isDigit()) {
        m_typedSection = QDateTimeEdit::NoSection;
        QDateTimeEdit::keyPressEvent(pEvent);
        return;
    }
    // The first digit in a field types it anew; the next ones add up. A
    // cursor moved since the last digit (a click) starts anew as well.
    const Section section = currentSection();
    const bool bGoingOn =
        section == m_typedSection && lineEdit()->cursorPosition() == m_nTypedCursor;
    if (!bGoingOn && !lineEdit()->hasSelectedText() && section != QDateTimeEdit::NoSection)
        setSelectedSection(section);
    QDateTimeEdit::keyPressEvent(pEvent);
    m_typedSection = section;
    m_nTypedCursor = lineEdit()->cursorPosition();
}

void CDateTimePickCtrl::focusInEvent(QFocusEvent* pEvent) {
    m_typedSection = QDateTimeEdit::NoSection;
    QDateTimeEdit::focusInEvent(pEvent);
}

void CDateTimePickCtrl::OnEdited(const QDateTime& dateTime) {
    if (m_bSetting)
        return;
    SetNone(false);
    OnDateTimeChange(FromQt(dateTime));
}

void CDateTimePickCtrl::SetNone(bool bNone) {
    m_bNone = bNone;
    // The minimum shows as a blank while the picker holds no value.
    setSpecialValueText(bNone ? QStringLiteral(" ") : QString());
}
