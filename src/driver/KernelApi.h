/* The kernel interface korvap2k is written against.
 *
 * Built as korvap2k.sys the driver sees the DDK headers of the MinGW-w64
 * tool chain. Built with KORVAP2K_USER_LAYER (the native test build) the
 * same source sees our user-mode kernel layer instead, which provides the
 * same names for the types, constants and routines the driver uses.
 */
#ifndef KORVAP2K_KERNELAPI_H
#define KORVAP2K_KERNELAPI_H

#ifdef KORVAP2K_USER_LAYER

#include "driver/klayer/KernelLayer.h"

/* One address space, no discardable or pageable code. */
#define KP2K_INIT_CODE
#define KP2K_PAGED_CODE

#else

/* The tool chain's wdm.h tests NTDDI_WINVISTA, which its sdkddkver.h does not
 * define; undefined it counts as 0 and pulls in types that exist only from
 * Vista on. Give it its meaning. */
#ifndef NTDDI_WINVISTA
#define NTDDI_WINVISTA NTDDI_VISTA
#endif
#include <ntddk.h>
#include <ntddmou.h>
#include <kbdmou.h>
#include <ntdd8042.h>

/* The loader frees the section INIT once DriverEntry has returned; sections
 * whose names start with PAGE may be paged out. Everything else stays in
 * .text, which is resident. */
#define KP2K_INIT_CODE __attribute__((section("INIT")))
#define KP2K_PAGED_CODE __attribute__((section("PAGE")))

#endif

#endif
