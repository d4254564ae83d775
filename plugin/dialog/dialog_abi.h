/*
 * The line between Relaydeck_Link and its configuration dialog: plain C, so that the
 * dialog can live in a module of its own, built against the TeamSpeak client's toolkit,
 * while the plugin itself links no toolkit at all.
 *
 * The plugin owns the settings logic (what the text box starts with, what "Save" stores
 * and when the error label shows); the dialog only shows the controls and hands the text
 * back through save().
 */
#ifndef RELAYDECK_PLUGIN_DIALOG_ABI_H
#define RELAYDECK_PLUGIN_DIALOG_ABI_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Raised when a field is added; a dialog refuses a description it does not know. */
#define RDLINK_DIALOG_ABI 1

struct RdLinkConfigDialog {
    unsigned abi;      /* RDLINK_DIALOG_ABI */
    const char* title; /* all texts UTF-8 */
    const char* portLabel;
    const char* saveButton;
    const char* errorText;
    const char* note;
    int maxLength;        /* characters the text box takes */
    const char* portText; /* what the text box starts with */
    void* context;
    /* "Save" (button or Enter) with the text box content: 1 when it was stored and the
     * dialog closes, 0 when the error label shows and the dialog stays open. */
    int (*save)(void* context, const char* text);
};

/*
 * Shows the dialog modally and returns when it is closed: 0. -1 when it could not be
 * shown; error then holds why (NUL-terminated, at most errorSize bytes).
 * parent: on Linux a QWidget* of the client's own Qt (may be NULL); on Windows unused,
 * the dialog is owned by the calling thread's active window.
 */
typedef int (*RdLinkShowConfigDialog)(void* parent, const struct RdLinkConfigDialog* dialog, char* error,
                                      size_t errorSize);

/* The name a dialog module exports its RdLinkShowConfigDialog under. */
#define RDLINK_DIALOG_SYMBOL "rdlink_show_config_dialog"

#ifdef _WIN32
/* On Windows the native dialog is part of the plugin library itself. */
int rdlink_show_native_config_dialog(void* parent, const struct RdLinkConfigDialog* dialog, char* error,
                                     size_t errorSize);
#endif

#ifdef __cplusplus
}
#endif

#endif
