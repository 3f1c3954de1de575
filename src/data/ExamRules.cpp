// The rules on exam records, attached to the record events of TableEco so
// that they hold whichever window or command triggers the operation.

#include "data/Clock.h"
#include "data/DM.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"
#include "platform/ui/SilentAbort.h"

namespace {

// Day 0 of the day count: an empty date counts as this day.
const QDate kDayZero(1899, 12, 30);

double daysBetween(const QDateTime& from, const QDateTime& to)
{
    return double(from.msecsTo(to)) / 86'400'000.0;
}

} // namespace

int TDataModule1::ageInMonths(const QDateTime& birth, const QDate& today)
{
    const double days = std::abs(daysBetween(birth, engine::values::wallClock(today)));
    return int(days / 30.4375);
}

void TDataModule1::attachExamRules()
{
    TableEco->beforeInsert = [this](Dataset&) { TableEcoBeforeInsert(); };
    TableEco->afterInsert = [this](Dataset&) { TableEcoAfterInsert(); };
    TableEco->beforeEdit = [this](Dataset&) { TableEcoBeforeEdit(); };
    TableEco->afterPost = [this](Dataset&) { TableEcoAfterPost(); };
}

// A new exam belongs to a saved patient: a patient still being inserted is
// saved first (a patient being edited keeps its changes pending).
void TDataModule1::TableEcoBeforeInsert()
{
    if (TablePac->state() == DataSetState::Insert)
        TablePac->post();
}

// The new exam's stamp, each step reading the clock at its own moment. The
// assignments set the modified flag, so the exam is saved by the next move
// even if nothing is typed into it.
void TDataModule1::TableEcoAfterInsert()
{
    TableEcoCodigoExame->setValue(clock_::now());
    TableEcoDataExame->setValue(clock_::now().date());
    // Without a birth date there is no age: counting from the day-count's
    // day 0 would print an age of over a hundred years.
    if (TablePacDNASC->isNull())
        TableEcoIdade->clear();
    else
        TableEcoIdade->setValue(ageInMonths(TablePacDNASC->value().toDateTime(), clock_::today()));
}

// An exam can be changed on its date and on the day after; from the second
// day after its date it is refused. An empty date counts as day 0.
void TDataModule1::TableEcoBeforeEdit()
{
    const QDate date = TableEcoDataExame->isNull() ? kDayZero : TableEcoDataExame->value().toDate();
    if (date.daysTo(clock_::today()) > 1) {
        Application::showMessage(QString::fromUtf8("ATENÇÃO: este EXAME não pode ser alterado!"));
        throw SilentAbort();
    }
}

void TDataModule1::TableEcoAfterPost() { emit examPosted(); }
