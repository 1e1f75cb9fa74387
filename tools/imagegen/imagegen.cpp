#include "tools/imagegen/imagegen.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// Splits a line into words; a word in double quotes may hold blanks ("\"" and
// "\\" escape inside it).
bool split_words(const std::string& line, std::vector<std::string>& out, std::string& err)
{
    out.clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        std::string w;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '\\' && i < line.size()) {
                    w += line[i++];
                } else if (d == '"') {
                    closed = true;
                    break;
                } else {
                    w += d;
                }
            }
            if (!closed) {
                err = "unterminated text";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                w += line[i++];
        }
        out.push_back(w);
    }
    return true;
}

bool to_number(const std::string& s, double& v)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(v) && std::fabs(v) < 1e6;
}

class Generator {
public:
    Generator(std::string source, std::string out_dir)
        : source_(std::move(source)), out_dir_(std::move(out_dir)) {}

    XrImageGenResult run(const std::string& text)
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            ++line_no_;
            std::vector<std::string> w;
            std::string err;
            if (!split_words(line, w, err)) {
                fail(err);
                return result_;
            }
            if (w.empty())
                continue;
            if (!command(w))
                return result_;
        }
        if (!finish_image())
            return result_;
        result_.ok = true;
        return result_;
    }

private:
    bool fail(const std::string& msg)
    {
        result_.ok = false;
        result_.error = source_ + ":" + std::to_string(line_no_) + ": " + msg;
        return false;
    }

    bool numbers(const std::vector<std::string>& w, size_t from, std::vector<double>& v)
    {
        v.clear();
        for (size_t i = from; i < w.size(); ++i) {
            double d;
            if (!to_number(w[i], d)) {
                fail("bad number \"" + w[i] + "\"");
                return false;
            }
            v.push_back(d);
        }
        return true;
    }

    bool need_image()
    {
        if (!cr_) {
            fail("drawing before the first \"image\" line");
            return false;
        }
        return true;
    }

    bool finish_image()
    {
        if (!surface_)
            return true;
        cr_.reset();
        cairo_surface_flush(surface_.get());
        std::string path = out_dir_ + "/" + name_;
        std::string tmp = path + ".tmp";
        cairo_status_t st = cairo_surface_write_to_png(surface_.get(), tmp.c_str());
        surface_.reset();
        if (st != CAIRO_STATUS_SUCCESS || std::rename(tmp.c_str(), path.c_str()) != 0) {
            std::remove(tmp.c_str());
            fail("cannot write " + path);
            return false;
        }
        result_.written.push_back(path);
        return true;
    }

    void path_rrect(double x, double y, double w, double h, double r)
    {
        r = std::min(r, std::min(w, h) / 2);
        cairo_new_sub_path(cr_.get());
        cairo_arc(cr_.get(), x + w - r, y + r, r, -M_PI / 2, 0);
        cairo_arc(cr_.get(), x + w - r, y + h - r, r, 0, M_PI / 2);
        cairo_arc(cr_.get(), x + r, y + h - r, r, M_PI / 2, M_PI);
        cairo_arc(cr_.get(), x + r, y + r, r, M_PI, 1.5 * M_PI);
        cairo_close_path(cr_.get());
    }

    bool shape(bool fill, const std::vector<std::string>& w)
    {
        if (!need_image())
            return false;
        if (w.size() < 2)
            return fail("missing shape");
        std::vector<double> v;
        if (!numbers(w, 2, v))
            return false;
        cairo_t* c = cr_.get();
        cairo_new_path(c);
        const std::string& s = w[1];
        if (s == "rect" && v.size() == 4) {
            cairo_rectangle(c, v[0], v[1], v[2], v[3]);
        } else if (s == "rrect" && v.size() == 5) {
            path_rrect(v[0], v[1], v[2], v[3], v[4]);
        } else if (s == "circle" && v.size() == 3) {
            cairo_arc(c, v[0], v[1], v[2], 0, 2 * M_PI);
        } else if (s == "ellipse" && v.size() == 4) {
            if (v[2] <= 0 || v[3] <= 0)
                return fail("ellipse radii must be positive");
            cairo_save(c);
            cairo_translate(c, v[0], v[1]);
            cairo_scale(c, v[2], v[3]);
            cairo_arc(c, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(c);
        } else if (s == "poly" && v.size() >= 6 && v.size() % 2 == 0) {
            cairo_move_to(c, v[0], v[1]);
            for (size_t i = 2; i < v.size(); i += 2)
                cairo_line_to(c, v[i], v[i + 1]);
            cairo_close_path(c);
        } else {
            return fail("bad " + s + " (shape or number of values)");
        }
        if (fill)
            cairo_fill(c);
        else
            cairo_stroke(c);
        return true;
    }

    bool command(const std::vector<std::string>& w)
    {
        const std::string& op = w[0];
        std::vector<double> v;
        if (op == "image") {
            if (w.size() != 4)
                return fail("image NAME.png W H");
            if (!finish_image())
                return false;
            const std::string& name = w[1];
            if (name.empty() || name.find('/') != std::string::npos || name[0] == '.' ||
                name.size() < 5 || name.compare(name.size() - 4, 4, ".png") != 0)
                return fail("image name must be a plain NAME.png");
            if (!numbers(w, 2, v))
                return false;
            if (v[0] < 1 || v[1] < 1 || v[0] > 8192 || v[1] > 8192 || v[0] != std::floor(v[0]) ||
                v[1] != std::floor(v[1]))
                return fail("image size must be whole numbers 1..8192");
            surface_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(v[0]), int(v[1])));
            cr_.reset(cairo_create(surface_.get()));
            name_ = name;
            cairo_set_source_rgba(cr_.get(), 0, 0, 0, 1);
            cairo_set_line_width(cr_.get(), 1);
            cairo_set_line_join(cr_.get(), CAIRO_LINE_JOIN_ROUND);
            cairo_set_line_cap(cr_.get(), CAIRO_LINE_CAP_ROUND);
            return true;
        }
        if (op == "color") {
            if (!need_image() || !numbers(w, 1, v))
                return false;
            if (v.size() != 3 && v.size() != 4)
                return fail("color R G B [A]");
            for (double d : v)
                if (d < 0 || d > 255)
                    return fail("colour values are 0..255");
            cairo_set_source_rgba(cr_.get(), v[0] / 255, v[1] / 255, v[2] / 255,
                                  v.size() == 4 ? v[3] / 255 : 1.0);
            return true;
        }
        if (op == "width") {
            if (!need_image() || !numbers(w, 1, v))
                return false;
            if (v.size() != 1 || v[0] <= 0)
                return fail("width W (positive)");
            cairo_set_line_width(cr_.get(), v[0]);
            return true;
        }
        if (op == "translate") {
            if (!need_image() || !numbers(w, 1, v))
                return false;
            if (v.size() != 2)
                return fail("translate DX DY");
            cairo_translate(cr_.get(), v[0], v[1]);
            return true;
        }
        if (op == "fill" || op == "stroke")
            return shape(op == "fill", w);
        if (op == "line") {
            if (!need_image() || !numbers(w, 1, v))
                return false;
            if (v.size() < 4 || v.size() % 2 != 0)
                return fail("line X Y X Y ...");
            cairo_new_path(cr_.get());
            cairo_move_to(cr_.get(), v[0], v[1]);
            for (size_t i = 2; i < v.size(); i += 2)
                cairo_line_to(cr_.get(), v[i], v[i + 1]);
            cairo_stroke(cr_.get());
            return true;
        }
        if (op == "text" || op == "textc") {
            if (!need_image())
                return false;
            if (w.size() != 5)
                return fail(op + " X Y SIZE \"TEXT\"");
            std::vector<std::string> nums(w.begin(), w.begin() + 4);
            if (!numbers(nums, 1, v))
                return false;
            if (v[2] <= 0)
                return fail("text size must be positive");
            cairo_t* c = cr_.get();
            cairo_select_font_face(c, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
            cairo_set_font_size(c, v[2]);
            double x = v[0];
            if (op == "textc") {
                cairo_text_extents_t ext;
                cairo_text_extents(c, w[4].c_str(), &ext);
                x -= ext.x_advance / 2;
            }
            cairo_move_to(c, x, v[1]);
            cairo_show_text(c, w[4].c_str());
            cairo_new_path(c);
            return true;
        }
        return fail("unknown command \"" + op + "\"");
    }

    std::string source_;
    std::string out_dir_;
    int line_no_ = 0;
    std::string name_;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface_;
    std::unique_ptr<cairo_t, ContextDeleter> cr_;
    XrImageGenResult result_;
};

} // namespace

XrImageGenResult xr_generate_images(const std::string& text, const std::string& source,
                                    const std::string& out_dir)
{
    Generator g(source, out_dir);
    return g.run(text);
}
