// Starting the VM with the add-ons in the application, and ending it.
#pragma once

#include <string>

class XrJava;

// The class path text: the archives of the share folder (names holding
// ".jar", or else ".zip"), then the ".jar" files of "extensions/addons/"
// under the card root ("/media/mmcN/map/"; none when empty), each followed
// by ':'. Names are taken in sorted order.
std::string xr_java_class_path(const std::string& share_dir, const std::string& card_root);

// Creates the VM with the context as user data, defines the built-in
// classes with their natives bound, and starts Navigator.main on the main
// thread (it runs later, in time slices on the main loop). Start-up failures
// end the process with a message, as the application requires.
bool xr_java_start(XrJava& java, const std::string& class_path);

// Stops the time slices and destroys the VM (at exit).
void xr_java_shutdown(XrJava& java);
