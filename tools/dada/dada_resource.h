/* Resource ids of dada.exe: the texts its browse dialog shows. */
#ifndef DADA_RESOURCE_H
#define DADA_RESOURCE_H
#define IDS_BROWSE_TITLE        1
#define IDS_BROWSE_TITLE_FILES  2
#define IDS_BROWSE_PROMPT       3
#define IDS_BROWSE_PROMPT_FILES 4
#define IDS_BROWSE_PROMPT_ANY   5
#endif
