// The steps of an open that judge and repair what the files hold: the
// password check against the header, the header's numbers and the field
// descriptors, the record area, the memo file's header. Each returns 0 or the
// engine code the open fails with.
#pragma once

#include <string>

#include "engine/database_internal.h"

namespace tarnwick {

// Reads the header into db.header through the given password's key; with ask
// (the "?" password) through the answers to the prompt hook, at most three.
// On success *password is the one in force ("" for a plain database).
int ReadHeaderWithPassword(Database& db, std::string* password, bool ask, const PasswordPromptHook& hook);
// The texts of the engine's password prompt after wrong_answers wrong ones.
PasswordPromptRequest MakePasswordPrompt(int wrong_answers);
// The header's numbers and the descriptors; fills db.fields, record_start and record_length.
int CheckHeaderAndFields(Database& db);
// The count follows the whole records present; a tail is cut off (not when read-only).
int RepairRecordArea(Database& db);
// The memo file's header (its creation stamp against the main file's), and
// its block count against its length; then,
// when not read-only, RepairFreeList.
int CheckMemoFile(Database& db);
// The free list's back links and count made to agree with its forward links.
int RepairFreeList(CachedFile& memo, int32_t block_count, int32_t free_count, int32_t first_free);

}  // namespace tarnwick
