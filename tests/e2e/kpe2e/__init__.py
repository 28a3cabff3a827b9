"""End-to-end harness for Kelvane Paint: drives the real program on a private
X server with XTEST input and reads its pixels back with XGetImage."""
