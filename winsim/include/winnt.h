/* winsim: access rights and file attributes, the parts of the platform's system-wide
 * definitions that the registry and the file system use. */
#ifndef WINSIM_WINNT_H
#define WINSIM_WINNT_H

#include <windef.h>

typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK* PACCESS_MASK;

/* Standard rights, common to every kind of securable object. */
#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define WRITE_DAC 0x00040000L
#define WRITE_OWNER 0x00080000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define SPECIFIC_RIGHTS_ALL 0x0000FFFFL
#define MAXIMUM_ALLOWED 0x02000000L

/* File attributes (FILE_ATTRIBUTE_NORMAL is declared with the file calls in winbase.h). */
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400

#endif /* WINSIM_WINNT_H */
