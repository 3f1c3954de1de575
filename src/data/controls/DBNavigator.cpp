#include "data/controls/DBNavigator.h"

#include "data/controls/ControlSupport.h"

#include <QIcon>
#include <QMessageBox>
#include <QToolButton>

// The pictures live in the core library, a static library: its resources
// must be registered by hand once before use.
static void registerNavigatorPictures()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(assets);
        return true;
    }();
    (void)registered;
}

namespace {

const char* const kNames[DBNavigator::ButtonCount] = {"First",  "Prior", "Next", "Last",   "Insert",
                                                      "Delete", "Edit",  "Post", "Cancel", "Refresh"};
const char* const kPictures[DBNavigator::ButtonCount] = {
    ":/assets/nav_first.png",  ":/assets/nav_prior.png", ":/assets/nav_next.png", ":/assets/nav_last.png",
    ":/assets/nav_insert.png", ":/assets/nav_delete.png", ":/assets/nav_edit.png", ":/assets/nav_post.png",
    ":/assets/nav_cancel.png", ":/assets/nav_refresh.png"};
const char* const kDefaultHints[DBNavigator::ButtonCount] = {
    "First record", "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data"};

} // namespace

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent)
{
    registerNavigatorPictures();
    setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < ButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setIcon(QIcon(kPictures[i]));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(QString::fromUtf8(kDefaultHints[i]));
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        connect(b, &QToolButton::clicked, this, [this, i] {
            controls::runReported([this, i] { click(Button(i)); });
        });
        m_buttons[i] = b;
        m_visible[i] = true;
    }
    connect(this, &QObject::objectNameChanged, this, [this] { nameButtons(); });
    nameButtons();
    updateButtons();
}

DBNavigator::~DBNavigator() = default;

QString DBNavigator::buttonName(Button which) { return QString::fromLatin1(kNames[which]); }

void DBNavigator::nameButtons()
{
    const QString owner = objectName().isEmpty() ? QStringLiteral("DBNavigator") : objectName();
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setObjectName(owner + "_" + buttonName(Button(i)));
}

void DBNavigator::setDataSource(DataSource* source)
{
    m_link.setDataSource(source);
    updateButtons();
}

void DBNavigator::setDataSourceName(const QString& path)
{
    controls::bindDataSource(this, path, [this](DataSource* source) { setDataSource(source); });
}

QList<DBNavigator::Button> DBNavigator::visibleButtons() const
{
    QList<Button> out;
    for (int i = 0; i < ButtonCount; ++i)
        if (m_visible[i])
            out << Button(i);
    return out;
}

void DBNavigator::setVisibleButtons(const QList<Button>& buttons)
{
    for (int i = 0; i < ButtonCount; ++i) {
        m_visible[i] = buttons.contains(Button(i));
        m_buttons[i]->setVisible(m_visible[i]);
    }
    layoutButtons();
    updateGeometry();
}

QStringList DBNavigator::hints() const
{
    QStringList out;
    for (QToolButton* b : m_buttons)
        out << b->toolTip();
    return out;
}

void DBNavigator::setHints(const QStringList& hints)
{
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setToolTip(i < hints.size() ? hints[i] : QString::fromUtf8(kDefaultHints[i]));
}

void DBNavigator::setFlat(bool flat)
{
    m_flat = flat;
    for (QToolButton* b : m_buttons)
        b->setAutoRaise(flat);
}

// --- pressing ----------------------------------------------------------------

void DBNavigator::click(Button which)
{
    Dataset* dataset = m_link.dataset();
    if (dataset && dataset->active())
        perform(which, *dataset);
    // A move that runs past an end changes BOF/EOF without telling the links.
    updateButtons();
    emit clicked(which);
}

void DBNavigator::perform(Button which, Dataset& dataset)
{
    switch (which) {
    case First: dataset.first(); break;
    case Prior: dataset.prior(); break;
    case Next: dataset.next(); break;
    case Last: dataset.last(); break;
    case Insert: dataset.insert(); break;
    case Delete:
        if (!m_confirmDelete || askDelete())
            dataset.remove();
        break;
    case Edit: dataset.edit(); break;
    case Post: dataset.post(); break;
    case Cancel: dataset.cancel(); break;
    case Refresh: dataset.refresh(); break;
    }
}

bool DBNavigator::askDelete()
{
    QMessageBox box(QMessageBox::Question, "Confirm", "Delete record?", QMessageBox::Ok | QMessageBox::Cancel,
                    window());
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

// --- state -------------------------------------------------------------------

void DBNavigator::Link::dataEvent(DataEvent event, Field*)
{
    if (event != DataEvent::UpdateRecord && event != DataEvent::CheckBrowseMode)
        m_navigator.updateButtons();
}

void DBNavigator::updateButtons()
{
    const Dataset* d = m_link.dataset();
    const bool open = d && d->active();
    const bool modifiable = open && d->canModify();
    const bool editing = open && d->editing();
    const std::array<bool, ButtonCount> enabled = {
        open && !d->bof(),       open && !d->bof(),        open && !d->eof(),   open && !d->eof(),
        modifiable,              modifiable && !d->isEmpty(), modifiable && !editing,
        modifiable && editing,   modifiable && editing,    modifiable,
    };
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setEnabled(enabled[i]);
}

// --- layout ------------------------------------------------------------------

QSize DBNavigator::sizeHint() const { return QSize(25 * std::max<qsizetype>(1, visibleButtons().size()), 25); }

void DBNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

void DBNavigator::layoutButtons()
{
    const QList<Button> shown = visibleButtons();
    const int count = int(shown.size());
    for (int i = 0; i < count; ++i) {
        // Edges at i * width / count: every pixel of the width is used and
        // the buttons differ by one pixel at most.
        const int left = i * width() / count;
        const int right = (i + 1) * width() / count;
        m_buttons[shown[i]]->setGeometry(left, 0, right - left, height());
    }
}
