/* Our stand-in for the platform's application framework: the program and
 * its windows (a GtkWindow that can go full screen, with a toolbar slot
 * under its content), the common menu, banners and notes (plain GTK
 * windows and dialogs named so that tests can find and answer them) and
 * the tap-and-hold gesture on any widget.
 *
 * Tap-and-hold: after gtk_widget_tap_and_hold_setup, a button-1 press held
 * HILDON_TAP_AND_HOLD_MS without moving more than a few pixels emits
 * "tap_and_hold_query" (gboolean handler(GtkWidget*, GdkEvent* press,
 * gpointer); TRUE suppresses the gesture) and then "tap_and_hold"
 * (void handler(GtkWidget*, gpointer)). Tests fire the same sequence at once
 * with hildon_tap_and_hold_fire.
 */
#ifndef XR_HILDON_H
#define XR_HILDON_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

#define HILDON_TAP_AND_HOLD_MS 800
/* Pointer travel (pixels, either axis) that cancels a pending hold. */
#define HILDON_TAP_AND_HOLD_SLACK 8

/* Widget names of the banner and note windows; also their X window role
 * (WM_WINDOW_ROLE), and their text is their X window title, so that they can
 * be found and read through the X server. */
#define HILDON_BANNER_NAME "hildon-banner"
#define HILDON_NOTE_NAME "hildon-note"
/* How long a banner stays up (milliseconds). */
#define HILDON_BANNER_MS 3000

/* --- Windows ------------------------------------------------------------- */

typedef struct _HildonWindow HildonWindow;
typedef struct _HildonWindowClass HildonWindowClass;

/* A top-level window whose one child (the content, added and removed with
 * gtk_container_add / gtk_container_remove) lies above its toolbars. */
struct _HildonWindow {
    GtkWindow parent;
    GtkWidget* vbox; /* internal child holding the toolbars */
    GtkMenu* menu;   /* the window's own menu or NULL (a reference) */
};

struct _HildonWindowClass {
    GtkWindowClass parent_class;
};

GType hildon_window_get_type(void);
#define HILDON_TYPE_WINDOW (hildon_window_get_type())
#define HILDON_WINDOW(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), HILDON_TYPE_WINDOW, HildonWindow))
#define HILDON_IS_WINDOW(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), HILDON_TYPE_WINDOW))

GtkWidget* hildon_window_new(void);
/* Toolbars stack under the content, in the order added. */
void hildon_window_add_toolbar(HildonWindow* window, GtkToolbar* toolbar);
void hildon_window_remove_toolbar(HildonWindow* window, GtkToolbar* toolbar);
/* The window's own menu (a reference is taken); NULL removes it. */
void hildon_window_set_menu(HildonWindow* window, GtkMenu* menu);
GtkMenu* hildon_window_get_menu(HildonWindow* window);
/* The current content child, or NULL. */
GtkWidget* hildon_window_get_content(HildonWindow* window);

/* --- Program ------------------------------------------------------------- */

typedef struct _HildonProgram HildonProgram;

/* The one program object of the process. */
HildonProgram* hildon_program_get_instance(void);
/* Windows of the program, in the order added; a window is listed once and
 * leaves the list when it is destroyed. */
void hildon_program_add_window(HildonProgram* program, HildonWindow* window);
void hildon_program_remove_window(HildonProgram* program, HildonWindow* window);
GList* hildon_program_get_windows(HildonProgram* program); /* not a copy */
/* The menu of windows that have none of their own (a reference is taken). */
void hildon_program_set_common_menu(HildonProgram* program, GtkMenu* menu);
GtkMenu* hildon_program_get_common_menu(HildonProgram* program);
/* The menu a window shows: its own, else the program's common menu. */
GtkMenu* hildon_program_get_menu_for(HildonProgram* program, HildonWindow* window);

/* --- Banners and notes --------------------------------------------------- */

/* A small undecorated window named HILDON_BANNER_NAME holding one label
 * with the text; it destroys itself after HILDON_BANNER_MS. icon may be
 * NULL and is only kept as the window's "icon-name" data. */
GtkWidget* hildon_banner_show_information(GtkWidget* widget, const char* icon, const char* text);
/* The banner's text (NULL for anything else). */
const char* hildon_banner_get_text(GtkWidget* banner);

/* Modal dialogs named HILDON_NOTE_NAME with the text in a label:
 * information (one OK button, GTK_RESPONSE_OK) and confirmation (OK and
 * Cancel, GTK_RESPONSE_OK / GTK_RESPONSE_CANCEL). Run them with
 * gtk_dialog_run; tests answer with hildon_note_respond. */
GtkWidget* hildon_note_new_information(GtkWindow* parent, const char* text);
GtkWidget* hildon_note_new_confirmation(GtkWindow* parent, const char* text);
const char* hildon_note_get_text(GtkWidget* note);

/* A banner like the information banner that shows a busy animation and
 * stays until it is destroyed. animation_name may be NULL (the default
 * animation); it is kept as the window's "animation-name" data. */
GtkWidget* hildon_banner_show_animation(GtkWidget* widget, const char* animation_name, const char* text);
/* Replaces the text of a banner (nothing for other widgets). */
void hildon_banner_set_text(GtkWidget* banner, const char* text);

/* A confirmation note with the buttons given as (label, response) pairs,
 * ended by a NULL label. */
GtkWidget* hildon_note_new_confirmation_add_buttons(GtkWindow* parent, const char* text, ...) G_GNUC_NULL_TERMINATED;
/* The label of an information note's button. */
void hildon_note_set_button_text(GtkWidget* note, const char* text);

/* The first mapped or unmapped top-level window with the widget name, or
 * NULL (for tests). */
GtkWidget* hildon_find_toplevel(const char* name);
/* Answers the first open note with the response; FALSE when none is open. */
gboolean hildon_note_respond(int response);

/* --- Captions and input helpers ----------------------------------------- */

typedef enum { HILDON_CAPTION_OPTIONAL = 0, HILDON_CAPTION_MANDATORY = 1 } HildonCaptionStatus;

/* A labelled control: a horizontal box named "hildon-caption" holding the
 * caption label, the optional icon and the control. The label joins the
 * size group when one is given. */
GtkWidget* hildon_caption_new(GtkSizeGroup* group, const char* value, GtkWidget* control, GtkWidget* icon,
                              HildonCaptionStatus flag);
/* The caption text and status of a caption (NULL / optional for anything
 * else), and its control. */
const char* hildon_caption_get_label(GtkWidget* caption);
HildonCaptionStatus hildon_caption_get_status(GtkWidget* caption);
GtkWidget* hildon_caption_get_control(GtkWidget* caption);

/* Input modes of an entry (the on-screen keyboard's layout); kept as the
 * entry's "hildon-input-mode" data. */
#define HILDON_GTK_INPUT_MODE_FULL 0
#define HILDON_GTK_INPUT_MODE_NUMERIC 2
void hildon_gtk_entry_set_input_mode(GtkEntry* entry, int mode);
int hildon_gtk_entry_get_input_mode(GtkEntry* entry);

/* Finger-sized scroll bars on a scrolled window; kept as its
 * "hildon-thumb-scrollbar" data. */
void hildon_helper_set_thumb_scrollbar(GtkWidget* scrolled_window, gboolean thumb);
gboolean hildon_helper_get_thumb_scrollbar(GtkWidget* scrolled_window);

/* --- Tap-and-hold -------------------------------------------------------- */

/* Arms the gesture on the widget (which needs button press, release and
 * motion events). menu and func are kept for callers that pass them and are
 * otherwise unused; flags are ignored. */
void gtk_widget_tap_and_hold_setup(GtkWidget* widget, GtkWidget* menu, GtkCallback func, int flags);
/* Emits the query with a synthetic press at (x, y) and, unless it answers
 * TRUE, "tap_and_hold". TRUE when "tap_and_hold" was emitted. */
gboolean hildon_tap_and_hold_fire(GtkWidget* widget, int x, int y);

#ifdef __cplusplus
}
#endif

#endif
