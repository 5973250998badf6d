#pragma once
// The program's settings between runs: the serial port number, the object list folder and
// the recently chosen folders. Every call opens the store, reads or writes, and closes it
// again; nothing is cached. On Windows the store is the registry of the current user under
// "\SOFTWARE\Orvane\Nimbra\Vexilo"; elsewhere one file with the same key paths, value names,
// types and defaults (path from VEXILO_SETTINGS, else the user's configuration folder).
//
// A value of the wrong type shows "Invalid data type for '%s'" (the value's name in place of
// %s) through show_error, once per run for the same value; the read then answers its default
// and stores nothing.

#include <string>
#include <vector>

namespace vexilo {

int read_int_setting(const std::string& name, int default_value);
void store_int_setting(const std::string& name, int value);
std::string read_text_setting(const std::string& name, const std::string& default_value);
void store_text_setting(const std::string& name, const std::string& value);

// "Port", default 1. A number outside 1 to 255 shows "Invalid value for 'Port'" (once per run)
// and answers the default, leaving the stored value alone.
int read_port();
void store_port(int port);

// The remembered folders of the "Folder List" subkey, in stored order. An entry of the wrong
// type shows the message and leaves the target empty.
void read_folder_list(std::vector<std::string>& target);
// A folder that occurs twice in the source is stored once, at its first place.
void store_folder_list(const std::vector<std::string>& source);

// Where the folder trees start when no folder is stored: "C:\" on Windows, elsewhere the
// user's home folder ($HOME; "/" without one).
std::string default_list_folder();

// The device behind port number n: on Windows "COMn" ("\\.\COMn" from 10 on); elsewhere the
// string value "COMn" of the "Ports" subkey when present, else "/dev/ttyS{n-1}". Empty for
// n below 1.
std::string port_device_name(int port);
// Reads (empty when unset) and sets the "Ports" entry of port n; an empty device removes it.
std::string read_port_mapping(int port);
void store_port_mapping(int port, const std::string& device);

}  // namespace vexilo
