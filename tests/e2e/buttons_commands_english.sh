#!/usr/bin/env bash
# The same checks with language "English": the English built-in table
# (Buttons.qxe), the English window texts, and "&Quit" writing nothing.
exec bash "$(dirname "$0")/buttons_commands.sh" "$1" English
