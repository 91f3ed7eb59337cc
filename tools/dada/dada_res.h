// Resources of the dada tool: the texts and icon its dialogs show.
#pragma once
#define IDS_DADA_TITLE        2001
#define IDS_DADA_FOUND        2002   /* one number placeholder */
#define IDS_DADA_CLEAN        2003
#define IDS_DADA_QUESTION     2004
#define IDS_DADA_STOP         2005
#define IDS_DADA_GO_ON        2006
#define IDS_DADA_PICK_FOLDER  2007
#define IDS_DADA_PICK_FILE    2008
#define IDS_DADA_PICK_PROMPT  2009
#define IDS_BROWSE_TITLE        2010   /* dada browse */
#define IDS_BROWSE_TITLE_FILES  2011
#define IDS_BROWSE_PROMPT       2012
#define IDS_BROWSE_PROMPT_ANY   2013
#define IDS_BROWSE_PROMPT_FILES 2014
#define IDI_DADA              2100
