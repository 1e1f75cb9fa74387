#include "common/ui/controls/xr_listmodel.h"

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"

#include <cstdarg>
#include <string>

namespace {

std::string utf8_of(const XrString& text)
{
    XrByteArray out(16, 16);
    XrUTF8::encode_utf8(text.c_str(), text.length(), out);
    return std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items());
}

// File names go to the system as the low bytes of the wide characters.
std::string file_name_of(const XrString& path)
{
    std::string out;
    for (int i = 0; i < path.length(); ++i)
        out.push_back(static_cast<char>(path.c_str()[i]));
    return out;
}

} // namespace

XrListModel::XrListModel(int columns, const ColumnType* types) : m_columns(columns), m_types(new ColumnType[columns])
{
    GType* gtypes = new GType[columns];
    for (int i = 0; i < columns; ++i) {
        m_types[i] = types[i];
        switch (types[i]) {
        case COLUMN_INT:
            gtypes[i] = G_TYPE_INT;
            break;
        case COLUMN_STRING:
            gtypes[i] = G_TYPE_STRING;
            break;
        case COLUMN_IMAGE:
            gtypes[i] = G_TYPE_OBJECT;
            break;
        default:
            XR_ASSERT(false);
        }
    }
    m_store = gtk_list_store_newv(columns, gtypes);
    delete[] gtypes;
}

XrListModel::~XrListModel()
{
    g_object_unref(m_store);
    delete[] m_types;
}

void XrListModel::append_row(void* first, ...)
{
    void** values = new void*[m_columns];
    values[0] = first;
    va_list args;
    va_start(args, first);
    for (int i = 1; i < m_columns; ++i)
        values[i] = va_arg(args, void*);
    va_end(args);
    append_row(values);
    delete[] values;
}

void XrListModel::append_row(void** values)
{
    GtkTreeIter iter;
    gtk_list_store_append(m_store, &iter);
    set_values(&iter, values);
}

void XrListModel::insert_row(int index, ...)
{
    void** values = new void*[m_columns];
    va_list args;
    va_start(args, index);
    for (int i = 0; i < m_columns; ++i)
        values[i] = va_arg(args, void*);
    va_end(args);
    insert_row(index, values);
    delete[] values;
}

void XrListModel::insert_row(int index, void** values)
{
    GtkTreeIter iter;
    gtk_list_store_insert(m_store, &iter, index);
    set_values(&iter, values);
}

void XrListModel::clear()
{
    gtk_list_store_clear(m_store);
}

void XrListModel::set_values(GtkTreeIter* iter, void** values)
{
    for (int i = 0; i < m_columns; ++i) {
        if (values[i] == nullptr)
            continue;
        GValue value = G_VALUE_INIT;
        switch (m_types[i]) {
        case COLUMN_INT:
            g_value_init(&value, G_TYPE_INT);
            g_value_set_int(&value, static_cast<int>(reinterpret_cast<intptr_t>(values[i])));
            break;
        case COLUMN_STRING:
            g_value_init(&value, G_TYPE_STRING);
            g_value_set_string(&value, utf8_of(*static_cast<const XrString*>(values[i])).c_str());
            break;
        case COLUMN_IMAGE: {
            g_value_init(&value, G_TYPE_OBJECT);
            const std::string file = file_name_of(XrPathResolver::resolve(*static_cast<const XrString*>(values[i])));
            GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
            g_value_set_object(&value, pixbuf);
            if (pixbuf != nullptr)
                g_object_unref(pixbuf);
            break;
        }
        default:
            XR_ASSERT_MSG(false, "false");
        }
        gtk_list_store_set_value(m_store, iter, i, &value);
        g_value_unset(&value);
    }
}

void** XrListModel::get_row(int index)
{
    GtkTreeIter iter;
    if (index < 0 || !gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(m_store), &iter, nullptr, index))
        return nullptr;
    void** values = new void*[m_columns];
    for (int i = 0; i < m_columns; ++i) {
        values[i] = nullptr;
        switch (m_types[i]) {
        case COLUMN_INT: {
            gint number = 0;
            gtk_tree_model_get(GTK_TREE_MODEL(m_store), &iter, i, &number, -1);
            values[i] = reinterpret_cast<void*>(static_cast<intptr_t>(number));
            break;
        }
        case COLUMN_STRING: {
            gchar* text = nullptr;
            gtk_tree_model_get(GTK_TREE_MODEL(m_store), &iter, i, &text, -1);
            XrString* out = new XrString();
            if (text != nullptr)
                XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(text), static_cast<int>(strlen(text)), *out);
            g_free(text);
            values[i] = out;
            break;
        }
        case COLUMN_IMAGE:
            break;
        default:
            XR_ASSERT_MSG(false, "false");
        }
    }
    return values;
}
