#include "data/controls/DBLookupComboBox.h"

#include "data/controls/ControlSupport.h"
#include "platform/engine/Values.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QListView>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QVBoxLayout>

namespace {

DBLookupComboBox::Clock& clockSlot()
{
    static DBLookupComboBox::Clock clock;
    return clock;
}

qint64 currentTime()
{
    if (clockSlot())
        return clockSlot()();
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

// Whether a row of the list cursor holds `key` in its key field.
bool holdsKey(const Dataset& list, const Field& keyField, const QVariant& key)
{
    for (int row = 0; row < list.recordCount(); ++row)
        if (list.rowAt(row).value(keyField.index()) == key)
            return true;
    return false;
}

} // namespace

// The rows of the list cursor as the open list shows them, read from the
// cursor itself when drawn.
class DBLookupComboBox::ListModel : public QAbstractListModel {
public:
    explicit ListModel(DBLookupComboBox& box) : QAbstractListModel(&box), m_box(box) {}

    int rowCount(const QModelIndex& parent = {}) const override
    {
        const Dataset* d = m_box.listDataset();
        return parent.isValid() || !d || !d->active() ? 0 : d->recordCount();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const Field* shown = m_box.listShownField();
        const Dataset* d = m_box.listDataset();
        if (role != Qt::DisplayRole || !shown || !d || index.row() >= d->recordCount())
            return {};
        return shown->format(d->rowAt(index.row()).value(shown->index()), true);
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    DBLookupComboBox& m_box;
};

DBLookupComboBox::DBLookupComboBox(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    m_dataLink.onDataChange = [this] { followField(); };
    m_dataLink.onEditingChange = [this] { update(); };

    m_popup = new QFrame(this, Qt::Popup);
    m_popup->setFrameShape(QFrame::Box);
    m_popup->setLineWidth(1);
    auto* layout = new QVBoxLayout(m_popup);
    layout->setContentsMargins(1, 1, 1, 1);
    m_view = new QListView(m_popup);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setUniformItemSizes(true);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setMouseTracking(true);
    m_view->viewport()->setMouseTracking(true);
    layout->addWidget(m_view);
    m_popup->setFocusProxy(m_view);
    m_model = new ListModel(*this);
    m_view->setModel(m_model);
    m_popup->installEventFilter(this);
    m_view->installEventFilter(this);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& index) {
        if (m_dropped && !m_syncing && index.isValid())
            listRowChosenInView(index.row());
    });
    // The selection follows the pointer, as it moves the list cursor.
    connect(m_view, &QAbstractItemView::entered, this, [this](const QModelIndex& index) {
        if (m_dropped && index.isValid() && index != m_view->currentIndex())
            m_view->setCurrentIndex(index);
    });
    connect(m_view, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (m_dropped && index.isValid())
            controls::runReported([this] { closeList(true); });
    });
    auto name = [this] {
        m_popup->setObjectName(objectName() + "_Popup");
        m_view->setObjectName(objectName() + "_List");
    };
    connect(this, &QObject::objectNameChanged, this, name);
    name();
}

DBLookupComboBox::~DBLookupComboBox()
{
    // No close-up notification while the box goes away.
    m_dropped = false;
    delete m_popup;
}

// --- binding -----------------------------------------------------------------

void DBLookupComboBox::setDataSource(DataSource* source) { m_dataLink.setDataSource(source); }

void DBLookupComboBox::setDataSourceName(const QString& path)
{
    controls::bindDataSource(this, path, [this](DataSource* source) { setDataSource(source); });
}

void DBLookupComboBox::setDataField(const QString& fieldName) { m_dataLink.setFieldName(fieldName); }

void DBLookupComboBox::setListSource(DataSource* source) { m_listLink.setDataSource(source); }

void DBLookupComboBox::setListSourceName(const QString& path)
{
    controls::bindDataSource(this, path, [this](DataSource* source) { setListSource(source); });
}

void DBLookupComboBox::setKeyField(const QString& fieldName)
{
    m_keyField = fieldName;
    lookUp();
}

void DBLookupComboBox::setListField(const QString& fieldName)
{
    m_listField = fieldName;
    m_model->reload();
    lookUp();
}

void DBLookupComboBox::setClock(Clock clock) { clockSlot() = std::move(clock); }

Dataset* DBLookupComboBox::listDataset() const { return m_listLink.dataset(); }

bool DBLookupComboBox::listActive() const { return m_listLink.active(); }

Field* DBLookupComboBox::listKeyField() const
{
    return listActive() && !m_keyField.isEmpty() ? listDataset()->findField(m_keyField) : nullptr;
}

Field* DBLookupComboBox::listShownField() const
{
    return listActive() && !m_listField.isEmpty() ? listDataset()->findField(m_listField) : nullptr;
}

bool DBLookupComboBox::canModify() const
{
    if (!listKeyField())
        return false;
    // A box without a data field keeps the chosen key itself.
    return dataSource() ? m_dataLink.canModify() : !m_dataLink.readOnly();
}

// --- the key and its lookup --------------------------------------------------

bool DBLookupComboBox::isEmptyKey(const QVariant& value) const
{
    return value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

bool DBLookupComboBox::sameKey(const QVariant& a, const QVariant& b) const
{
    if (isEmptyKey(a) || isEmptyKey(b))
        return isEmptyKey(a) == isEmptyKey(b);
    return a == b;
}

void DBLookupComboBox::followField()
{
    const Field* f = m_dataLink.field();
    setKeyValue(f ? f->value() : QVariant());
}

void DBLookupComboBox::setKeyValue(const QVariant& value)
{
    if (sameKey(value, m_keyValue))
        return;
    m_keyValue = value;
    lookUp();
}

void DBLookupComboBox::lookUp()
{
    QString shown;
    const Field* shownField = listShownField();
    if (!isEmptyKey(m_keyValue) && listKeyField() && shownField) {
        try {
            if (listDataset()->locate(m_keyField, m_keyValue, {}))
                shown = shownField->displayText();
        } catch (...) {
            // A lookup that fails is a key without a row: the box shows
            // nothing, and the list cursor stays where the failure left it.
        }
    }
    setShownText(shown);
}

void DBLookupComboBox::setShownText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    update();
}

void DBLookupComboBox::ListLink::dataEvent(DataEvent event, Field*) { m_box.listChanged(event); }

void DBLookupComboBox::listChanged(DataEvent event)
{
    switch (event) {
    case DataEvent::ActiveChanged:
        m_model->reload();
        if (!listActive() && m_dropped)
            closeList(false);
        // The key may have arrived while the list was closed.
        lookUp();
        break;
    case DataEvent::DataSetChanged: {
        m_model->reload();
        syncListView();
        const Field* key = listKeyField();
        const Field* shown = listShownField();
        if (m_dropped || !key || !shown || isEmptyKey(m_keyValue))
            break;
        const QVariant wanted = engine::values::coerce(key->type(), m_keyValue);
        // A renamed list row shows its new name, without moving the list; a
        // row that is gone (a deleted exam type) shows nothing.
        if (!listDataset()->isEmpty() && sameKey(wanted, key->value()))
            setShownText(shown->displayText());
        else if (!holdsKey(*listDataset(), *key, wanted))
            setShownText(QString());
        break;
    }
    case DataEvent::Scrolled:
        syncListView();
        break;
    case DataEvent::FieldChanged:
        if (m_dropped && listDataset()->recNo() >= 0) {
            const QModelIndex row = m_model->index(listDataset()->recNo(), 0);
            emit m_model->dataChanged(row, row);
        }
        break;
    default:
        break;
    }
}

// --- the list ----------------------------------------------------------------

void DBLookupComboBox::dropDown()
{
    if (m_dropped || !listShownField())
        return;
    Dataset* list = listDataset();
    if (isEmptyKey(m_keyValue) || !listKeyField() || !list->locate(m_keyField, m_keyValue, {}))
        list->first();
    m_model->reload();

    const int rows = std::clamp(m_model->rowCount(), 1, m_dropDownRows);
    const int rowHeight = m_model->rowCount() > 0 ? m_view->sizeHintForRow(0) : fontMetrics().height() + 2;
    const int frame = 2 * (m_popup->frameWidth() + 1);
    const QSize size(width(), rows * rowHeight + frame);
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen(); s && at.y() + size.height() > s->availableGeometry().bottom())
        at = mapToGlobal(QPoint(0, -size.height()));
    m_popup->setGeometry(QRect(at, size));

    // The view makes its first row current when it takes the focus without
    // one: that must neither move the list cursor nor be what shows.
    m_dropped = true;
    m_syncing = true;
    m_popup->show();
    m_view->setFocus(Qt::PopupFocusReason);
    m_syncing = false;
    syncListView();
    update();
}

void DBLookupComboBox::closeList(bool accept)
{
    if (!m_dropped)
        return;
    m_dropped = false;
    m_popup->hide();
    m_searchText.clear();
    update();
    if (accept && canModify())
        chooseListRow();
    emit closeUp();
}

void DBLookupComboBox::chooseListRow()
{
    const Field* key = listKeyField();
    if (!key || listDataset()->isEmpty())
        return;
    const QVariant value = key->value();
    if (!dataSource()) {
        setKeyValue(value);
        return;
    }
    // Only an editing record takes the key; automatic editing may start it.
    if (m_dataLink.startEditing())
        m_dataLink.field()->setValue(value);
}

void DBLookupComboBox::syncListView()
{
    if (!m_dropped)
        return;
    const Dataset* list = listDataset();
    const QModelIndex current = m_model->index(list && list->active() ? list->recNo() : -1, 0);
    m_syncing = true;
    if (current.isValid()) {
        m_view->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
        m_view->scrollTo(current);
    } else {
        m_view->selectionModel()->clear();
    }
    m_syncing = false;
}

void DBLookupComboBox::listRowChosenInView(int row)
{
    Dataset* list = listDataset();
    if (!list)
        return;
    controls::runReported([&] { list->setCurrentRow(row); });
    // A refused move puts the selection back on the list cursor's row.
    syncListView();
}

bool DBLookupComboBox::popupKey(QKeyEvent* event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
        controls::runReported([this] { closeList(true); });
        return true;
    case Qt::Key_Escape:
        controls::runReported([this] { closeList(false); });
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!alt)
            return false; // the list moves, and the list cursor with it
        controls::runReported([this] { closeList(true); });
        return true;
    default:
        return false;
    }
}

// --- search ------------------------------------------------------------------

void DBLookupComboBox::search(QChar typed)
{
    const Field* shown = listShownField();
    if (!shown || !shown->isText() || !canModify())
        return;
    const qint64 now = currentTime();
    if (now - m_lastKeyTime > SearchPause)
        m_searchText.clear();
    m_lastKeyTime = now;
    if (m_searchText.size() >= SearchLength)
        return;
    const QString candidate = m_searchText + typed;
    if (listDataset()->locate(m_listField, candidate, {true, true})) {
        chooseListRow();
        m_searchText = candidate;
    }
}

// --- events ------------------------------------------------------------------

void DBLookupComboBox::keyPressEvent(QKeyEvent* event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    if ((event->key() == Qt::Key_F4 && !alt)
        || (alt && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up))) {
        controls::runReported([this] { m_dropped ? closeList(true) : dropDown(); });
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Backspace:
        m_searchText.clear();
        event->accept();
        return;
    case Qt::Key_Escape:
        // Clears the search and still reaches a dialog.
        m_searchText.clear();
        QWidget::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (controls::typesCharacters(event)) {
        for (QChar c : event->text())
            if (!controls::runReported([&] { search(c); }))
                break;
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DBLookupComboBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    controls::runReported([this] { m_dropped ? closeList(false) : dropDown(); });
}

void DBLookupComboBox::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void DBLookupComboBox::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void DBLookupComboBox::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (m_dropped)
        controls::runReported([this] { closeList(false); });
}

bool DBLookupComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_popup) {
        if (event->type() == QEvent::Hide && m_dropped) {
            // The list hid itself: a click elsewhere, which does not accept.
            controls::runReported([this] { closeList(false); });
        } else if (event->type() == QEvent::MouseButtonPress) {
            // A click on the box closes the list; it must not open it again.
            const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            m_popup->setAttribute(Qt::WA_NoMouseReplay, rect().contains(mapFromGlobal(global)));
        }
        return false;
    }
    if (watched == m_view && event->type() == QEvent::KeyPress)
        return popupKey(static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

// --- look --------------------------------------------------------------------

QSize DBLookupComboBox::sizeHint() const { return QSize(145, fontMetrics().height() + 8); }

QSize DBLookupComboBox::minimumSizeHint() const { return QSize(40, fontMetrics().height() + 6); }

QColor DBLookupComboBox::backgroundColour() const
{
    // The windows colour the box through its palette: Base as for an edit,
    // or Window together with autoFillBackground.
    const QPalette& pal = palette();
    const QPalette::ColorGroup group = pal.currentColorGroup();
    if (!pal.isBrushSet(group, QPalette::Base) && autoFillBackground() && pal.isBrushSet(group, QPalette::Window))
        return pal.color(QPalette::Window);
    return pal.color(QPalette::Base);
}

void DBLookupComboBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, backgroundColour());

    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_FrameLineEdit, &frame, &p, this);

    const int side = std::min(r.height() - 4, 17);
    const QRect button(r.right() - 1 - side, r.top() + 2, side, r.height() - 4);
    QStyleOptionButton panel;
    panel.initFrom(this);
    panel.rect = button;
    panel.state |= m_dropped ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &panel, &p, this);
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = button.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &p, this);

    const QRect textArea(r.left() + 2, r.top() + 2, button.left() - r.left() - 3, r.height() - 4);
    QColor ink = palette().color(QPalette::Text);
    if (hasFocus() && !m_dropped) {
        p.fillRect(textArea, palette().color(QPalette::Highlight));
        ink = palette().color(QPalette::HighlightedText);
    }
    p.setPen(ink);
    const QRect textRect = textArea.adjusted(2, 0, -1, 0);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(m_text, Qt::ElideRight, textRect.width()));
}
