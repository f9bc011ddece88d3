// Persistent containers: the twenty containers "PT_PERCO_0" .. "PT_PERCO_19"
// that survive a restart, kept in the file "ptermsCo.xml" of the application
// directory. Owns the modified mark and the file; reads and writes the
// containers; reports through the log.
#pragma once

#define PCO_FILE_NAME "ptermsCo.xml"
#define PCO_COUNT 20

// Writes each non-empty value of the file into its container.
void PCO_loadPersistentCO();
void PCO_setModified();
// Forgets the modified mark (the file stays as it is).
void PCO_reset();
int PCO_isModified();
// Once per refresh: saves the file when the set changed.
void PCO_entry();
// Writes the file from the current values: 1 on success, 0 when it could not be written.
int PCO_savePersistentCO();
