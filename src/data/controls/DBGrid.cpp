#include "data/controls/DBGrid.h"

#include "data/controls/ControlSupport.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaProperty>

class DBGrid::Link : public DataLink {
public:
    explicit Link(DBGrid& grid) : m_grid(grid) {}
    void dataEvent(DataEvent event, Field*) override { m_grid.dataEvent(event); }

private:
    DBGrid& m_grid;
};

// The record set's records as table rows. It remembers only how many rows
// the view was told about; every cell is read from the record set.
class DBGrid::Model : public QAbstractTableModel {
public:
    explicit Model(DBGrid& grid) : QAbstractTableModel(&grid), m_grid(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_grid.m_shown.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::BackgroundRole || role == Qt::FontRole) {
            if (index.column() >= int(m_grid.m_shown.size()))
                return {};
            const Column& column = m_grid.m_shown[index.column()];
            if (role == Qt::BackgroundRole)
                return column.color.isValid() ? QVariant(column.color) : QVariant();
            return column.font ? QVariant(*column.font) : QVariant();
        }
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        const Field* field = m_grid.columnField(index.column());
        const Dataset* d = m_grid.dataset();
        if (!field || !d || !d->active() || index.row() >= d->recordCount())
            return {};
        return field->format(d->rowAt(index.row()).value(field->index()), role == Qt::DisplayRole);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Vertical)
            return role == Qt::DisplayRole ? indicator(section) : QVariant();
        if (section < 0 || section >= int(m_grid.m_shown.size()))
            return {};
        const Column& column = m_grid.m_shown[section];
        switch (role) {
        case Qt::DisplayRole: return column.title;
        case Qt::TextAlignmentRole: return QVariant::fromValue(column.titleAlignment);
        case Qt::BackgroundRole: return column.titleColor.isValid() ? QVariant(column.titleColor) : QVariant();
        case Qt::FontRole:
            if (column.titleBold) {
                QFont font = m_grid.horizontalHeader()->font();
                font.setBold(true);
                return font;
            }
            return {};
        default: return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        const Field* field = m_grid.columnField(index.column());
        if (m_grid.m_editable && field && field->canModify())
            flags |= Qt::ItemIsEditable;
        return flags;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        return role == Qt::EditRole && m_grid.writeCell(index, value.toString());
    }

    void reset(int rows)
    {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }

    void rowsChanged(int first, int last)
    {
        if (m_rows == 0 || columnCount() == 0)
            return;
        first = std::clamp(first, 0, m_rows - 1);
        last = std::clamp(last, 0, m_rows - 1);
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    }

    void indicatorChanged(int row)
    {
        if (row >= 0 && row < m_rows)
            emit headerDataChanged(Qt::Vertical, row, row);
    }

private:
    QString indicator(int row) const
    {
        const Dataset* d = m_grid.dataset();
        if (!d || !d->active() || row != d->recNo())
            return {};
        switch (d->state()) {
        case DataSetState::Insert: return QStringLiteral("*");
        case DataSetState::Edit: return QStringLiteral("I");
        default: return QStringLiteral("\u25B6");
        }
    }

    DBGrid& m_grid;
    int m_rows = 0;
};

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), m_link(std::make_unique<Link>(*this))
{
    m_model = new Model(*this);
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        // The user's widths survive the next re-reading of the rows.
        if (!m_applyingWidths && column < int(m_shown.size()))
            m_shown[column].width = size;
    });
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(fontMetrics().height());
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->setHighlightSections(false);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setFixedWidth(12);
}

DBGrid::~DBGrid()
{
    // Nothing may reach the grid from its record set while it goes.
    m_link.reset();
}

DataSource* DBGrid::dataSource() const { return m_link->dataSource(); }

Dataset* DBGrid::dataset() const { return m_link ? m_link->dataset() : nullptr; }

bool DBGrid::active() const { return m_link && m_link->active(); }

void DBGrid::setDataSource(DataSource* source) { m_link->setDataSource(source); }

void DBGrid::setDataSourceName(const QString& path)
{
    controls::bindDataSource(this, path, [this](DataSource* source) { setDataSource(source); });
}

// --- options -----------------------------------------------------------------

bool DBGrid::titlesVisible() const { return !horizontalHeader()->isHidden(); }

void DBGrid::setTitlesVisible(bool visible) { horizontalHeader()->setVisible(visible); }

bool DBGrid::indicatorVisible() const { return !verticalHeader()->isHidden(); }

void DBGrid::setIndicatorVisible(bool visible) { verticalHeader()->setVisible(visible); }

void DBGrid::setRowSelect(bool on)
{
    m_rowSelect = on;
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    QPalette pal = palette();
    const QPalette defaults = QApplication::palette(this);
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setBrush(QPalette::Inactive, role,
                     on ? pal.brush(QPalette::Active, role) : defaults.brush(QPalette::Inactive, role));
    setPalette(pal);
    syncCurrent();
}

void DBGrid::setEditable(bool on)
{
    m_editable = on;
    EditTriggers triggers = QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed;
    if (!m_editOnRequest)
        triggers |= QAbstractItemView::DoubleClicked;
    setEditTriggers(on ? triggers : QAbstractItemView::NoEditTriggers);
}

void DBGrid::setEditOnRequest(bool on)
{
    m_editOnRequest = on;
    setEditable(m_editable);
}

// --- columns -----------------------------------------------------------------

void DBGrid::addColumn(const QString& fieldName, const QString& title, int width, Qt::Alignment titleAlignment,
                       bool titleBold)
{
    m_columns.push_back({fieldName, title, width, titleAlignment, titleBold});
    rebuildColumns();
}

void DBGrid::setColumnLook(int column, const QColor& cells, const QColor& title, const std::optional<QFont>& font)
{
    if (column < 0 || column >= int(m_columns.size()))
        return;
    m_columns[column].color = cells;
    m_columns[column].titleColor = title;
    m_columns[column].font = font;
    rebuildColumns();
}

void DBGrid::clearColumns()
{
    m_columns.clear();
    rebuildColumns();
}

QString DBGrid::columnFieldName(int column) const
{
    return column >= 0 && column < int(m_shown.size()) ? m_shown[column].fieldName : QString();
}

QString DBGrid::columnTitle(int column) const
{
    return column >= 0 && column < int(m_shown.size()) ? m_shown[column].title : QString();
}

Field* DBGrid::columnField(int column) const
{
    const Dataset* d = dataset();
    if (!d || column < 0 || column >= int(m_fieldIndex.size()))
        return nullptr;
    const int i = m_fieldIndex[column];
    return i >= 0 && i < int(d->fields().size()) ? d->fields()[i] : nullptr;
}

int DBGrid::displayWidth(const Field* field, const QString& title) const
{
    int chars = 10;
    if (field) {
        switch (field->type()) {
        case engine::FieldType::String: chars = field->size() > 0 ? field->size() : 20; break;
        case engine::FieldType::Memo: chars = 20; break;
        case engine::FieldType::DateTime: chars = 16; break;
        case engine::FieldType::Boolean: chars = 5; break;
        default: break;
        }
    }
    const QFontMetrics fm = fontMetrics();
    return std::max(fm.horizontalAdvance(QLatin1Char('0')) * chars, fm.horizontalAdvance(title)) + 6;
}

void DBGrid::findFields()
{
    const Dataset* d = dataset();
    m_fieldIndex.assign(m_shown.size(), -1);
    for (size_t c = 0; d && c < m_shown.size(); ++c)
        if (const Field* f = d->findField(m_shown[c].fieldName))
            m_fieldIndex[c] = f->index();
}

void DBGrid::rebuildColumns()
{
    std::vector<Column> shown = m_columns;
    if (shown.empty())
        if (const Dataset* d = dataset())
            for (const Field* f : d->fields())
                shown.push_back({f->fieldName(), f->displayName(), -1});
    m_shown = std::move(shown);
    findFields();
    for (size_t c = 0; c < m_shown.size(); ++c)
        if (m_shown[c].width < 1)
            m_shown[c].width = displayWidth(columnField(int(c)), m_shown[c].title);
    m_model->reset(active() ? dataset()->recordCount() : 0);
    applyWidths();
    syncCurrent();
}

void DBGrid::applyWidths()
{
    m_applyingWidths = true;
    for (size_t c = 0; c < m_shown.size(); ++c)
        setColumnWidth(int(c), m_shown[c].width);
    m_applyingWidths = false;
}

// --- following the record set ------------------------------------------------

void DBGrid::dataEvent(DataEvent event)
{
    switch (event) {
    case DataEvent::ActiveChanged:
        rebuildColumns();
        break;
    case DataEvent::DataSetChanged:
        refreshAll();
        break;
    case DataEvent::Scrolled:
        syncCurrent();
        break;
    case DataEvent::FieldChanged:
        if (active())
            m_model->rowsChanged(dataset()->recNo(), dataset()->recNo());
        break;
    case DataEvent::StateChanged:
        refreshIndicator();
        break;
    case DataEvent::UpdateRecord:
        writeOpenEditor();
        break;
    case DataEvent::CheckBrowseMode:
        break;
    }
}

void DBGrid::refreshAll()
{
    const Dataset* d = dataset();
    const int rows = active() ? d->recordCount() : 0;
    // A query re-read may have rebuilt its fields.
    bool sameFields = true;
    if (m_columns.empty() && d) {
        sameFields = d->fields().size() == m_shown.size();
        for (size_t c = 0; sameFields && c < m_shown.size(); ++c)
            sameFields = d->fields()[c]->fieldName() == m_shown[c].fieldName;
    }
    if (!sameFields) {
        rebuildColumns();
        return;
    }
    findFields();
    if (rows != m_model->rowCount()) {
        m_model->reset(rows);
        applyWidths();
    } else {
        // The same rows: repaint them, and leave an open cell editor alone.
        m_model->rowsChanged(0, rows - 1);
    }
    syncCurrent();
}

void DBGrid::refreshIndicator()
{
    m_model->indicatorChanged(m_indicatorRow);
    m_indicatorRow = active() ? dataset()->recNo() : -1;
    m_model->indicatorChanged(m_indicatorRow);
}

void DBGrid::syncCurrent()
{
    refreshIndicator();
    const int row = active() ? dataset()->recNo() : -1;
    m_syncing = true;
    if (row >= 0 && row < m_model->rowCount() && m_model->columnCount() > 0) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex index = m_model->index(row, column);
        QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect;
        if (m_rowSelect)
            command |= QItemSelectionModel::Rows;
        selectionModel()->setCurrentIndex(index, command);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    m_syncing = false;
}

// --- moving the record set ---------------------------------------------------

void DBGrid::moveToRow(int row)
{
    Dataset* d = dataset();
    if (!d || !d->active() || row == d->recNo())
        return;
    d->setCurrentRow(row);
}

QModelIndex DBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex target = QTableView::moveCursor(action, modifiers);
    if (!target.isValid() || !active() || target.row() == dataset()->recNo())
        return target;
    controls::runReported([&] { moveToRow(target.row()); });
    // Where the record set is now, which a refusal or a re-read may change.
    return m_model->index(dataset()->recNo(), target.column());
}

void DBGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && active() && index.row() != dataset()->recNo()) {
        controls::runReported([&] { moveToRow(index.row()); });
        if (!active() || dataset()->recNo() != index.row()) {
            syncCurrent();
            return;
        }
    }
    QTableView::mousePressEvent(event);
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid() || !active() || current.row() == dataset()->recNo())
        return;
    // A move the keys and the mouse did not make (program code): follow it,
    // and show afterwards where the record set really went.
    controls::runReported([&] { moveToRow(current.row()); });
    if (active() && dataset()->recNo() != current.row())
        QMetaObject::invokeMethod(this, [this] { syncCurrent(); }, Qt::QueuedConnection);
}

// --- editing -----------------------------------------------------------------

bool DBGrid::startEditing()
{
    Dataset* d = dataset();
    if (!d || !d->canModify())
        return false;
    if (!d->editing())
        m_link->edit();
    return d->editing();
}

bool DBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool byKey = trigger == QAbstractItemView::AnyKeyPressed || trigger == QAbstractItemView::EditKeyPressed;
    if (byKey && m_editOnRequest && !(dataset() && dataset()->editing()))
        return false;
    if (trigger == QAbstractItemView::AnyKeyPressed && m_editable && index.isValid()) {
        // Typing into a cell changes the record: it must be editing first.
        const Field* field = columnField(index.column());
        if (!field || !field->canModify())
            return false;
        if (event && event->type() == QEvent::KeyPress)
            for (QChar c : static_cast<QKeyEvent*>(event)->text())
                if (!field->isValidChar(c))
                    return false;
        bool editing = false;
        if (!controls::runReported([&] { editing = startEditing(); }) || !editing)
            return false;
    }
    return QTableView::edit(index, trigger, event);
}

bool DBGrid::writeCell(const QModelIndex& index, const QString& text)
{
    Field* field = columnField(index.column());
    if (!field || !active() || index.row() != dataset()->recNo())
        return false;
    if (field->text() == text)
        return true;
    bool written = false;
    controls::runReported([&] {
        if (startEditing()) {
            field->setText(text);
            written = true;
        }
    });
    return written;
}

void DBGrid::writeOpenEditor()
{
    // The record is being saved while a cell editor is open: its text goes
    // into the field now, and a refusal stops the saving.
    if (state() != QAbstractItemView::EditingState)
        return;
    const QModelIndex index = currentIndex();
    QWidget* editor = indexWidget(index);
    Field* field = columnField(index.column());
    if (!editor || !field)
        return;
    const QMetaProperty user = editor->metaObject()->userProperty();
    const QString text = user.isValid() ? user.read(editor).toString() : QString();
    if (field->text() != text)
        field->setText(text);
}

void DBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    const QWidget* focus = QApplication::focusWidget();
    if (focus != this && !isAncestorOf(focus))
        dropUntouchedInsert();
}

void DBGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    // The focus going into a cell editor stays in the grid.
    if (const QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus))
        return;
    dropUntouchedInsert();
}

void DBGrid::dropUntouchedInsert()
{
    Dataset* d = dataset();
    if (m_editable && d && d->state() == DataSetState::Insert && !d->modified())
        controls::runReported([d] { d->cancel(); });
}

// --- keys and clicks ---------------------------------------------------------

void DBGrid::deleteCurrent()
{
    Dataset* d = dataset();
    if (!d || !d->canModify() || d->isEmpty())
        return;
    if (m_confirmDelete) {
        QMessageBox box(QMessageBox::Question, "Confirm", "Delete record?", QMessageBox::Ok | QMessageBox::Cancel,
                        window());
        box.setDefaultButton(QMessageBox::Ok);
        if (box.exec() != QMessageBox::Ok)
            return;
    }
    d->remove();
}

void DBGrid::keyPressEvent(QKeyEvent* event)
{
    QChar typed;
    if (!event->text().isEmpty())
        typed = event->text().front();
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        typed = QChar('\r');
    else if (event->key() == Qt::Key_Escape)
        typed = QChar(0x1b);
    if (!typed.isNull())
        emit keyPress(typed);

    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
        controls::runReported([this] { deleteCurrent(); });
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Insert && mods == Qt::NoModifier) {
        // Only an editable grid adds records.
        Dataset* d = dataset();
        if (m_editable && d && d->canModify())
            controls::runReported([d] { d->insert(); });
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    case Qt::Key_Escape:
        // In an editable grid Escape gives up the record's pending change.
        if (m_editable && dataset() && dataset()->editing()) {
            Dataset* d = dataset();
            controls::runReported([d] { d->cancel(); });
        }
        event->accept();
        return;
    default:
        QTableView::keyPressEvent(event);
    }
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit dblClick();
}
