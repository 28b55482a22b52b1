// The block-cipher layer: an abstract block cipher (TDCP_blockcipher) with
// CBC and 8-bit CFB chaining, and Blowfish (TDCP_blowfish). The program owns
// one Blowfish instance; every command keys it, uses it and wipes it again.
//
// Sizes of key material are in bits, buffer sizes in bytes. Every buffer
// operation accepts in == out (in-place work) and advances the chaining
// value, so consecutive calls continue one chain until ResetChain or Init.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvan {

class TDCP_blockcipher {
 public:
  virtual ~TDCP_blockcipher() = default;
  TDCP_blockcipher(const TDCP_blockcipher&) = delete;
  TDCP_blockcipher& operator=(const TDCP_blockcipher&) = delete;

  const std::string& Algorithm() const { return algorithm_; }
  int BlockSize() const { return blockSize_; }    // bits
  int MaxKeySize() const { return maxKeySize_; }  // bits
  bool Initialized() const { return initialized_; }

  // Keys the cipher. iv points to BlockSize()/8 bytes, or is null: then the
  // IV is the encryption of an all-0xFF block under the new key.
  virtual void Init(const void* key, int sizeBits, const void* iv) = 0;
  virtual void Wipe() = 0;
  virtual void ResetChain() = 0;  // CV := IV
  virtual void EncryptBlock(const void* in, void* out) = 0;
  virtual void DecryptBlock(const void* in, void* out) = 0;
  virtual void EncryptCBC(const void* in, void* out, std::size_t size) = 0;
  virtual void DecryptCBC(const void* in, void* out, std::size_t size) = 0;
  virtual void EncryptCFB8(const void* in, void* out, std::size_t size) = 0;
  virtual void DecryptCFB8(const void* in, void* out, std::size_t size) = 0;

  // Key = SHA-1 of the passphrase's bytes (at most MaxKeySize bits of it),
  // no IV given. An empty passphrase is valid.
  void InitFromPassphrase(std::string_view passphrase);

 protected:
  TDCP_blockcipher(std::string algorithm, int blockSize, int maxKeySize)
      : algorithm_(std::move(algorithm)), blockSize_(blockSize), maxKeySize_(maxKeySize) {}
  bool initialized_ = false;

 private:
  std::string algorithm_;
  int blockSize_;
  int maxKeySize_;
};

class TDCP_blowfish final : public TDCP_blockcipher {
 public:
  TDCP_blowfish();
  ~TDCP_blowfish() override;

  void Init(const void* key, int sizeBits, const void* iv) override;
  void Wipe() override;
  void ResetChain() override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  // CBC; a last partial block of r bytes is XORed with the first r bytes of
  // the encrypted chaining value and leaves the chaining value unchanged, so
  // the output always has the input's length.
  void EncryptCBC(const void* in, void* out, std::size_t size) override;
  void DecryptCBC(const void* in, void* out, std::size_t size) override;
  // 8-bit cipher feedback through a 64-bit shift register.
  void EncryptCFB8(const void* in, void* out, std::size_t size) override;
  void DecryptCFB8(const void* in, void* out, std::size_t size) override;

  // The current IV and chaining value (8 bytes each), for tests.
  const unsigned char* IV() const { return iv_; }
  const unsigned char* CV() const { return cv_; }

 private:
  void checkInitialized() const;

  struct Schedule {
    std::uint32_t P[18];
    std::uint32_t S[4][256];
  };
  Schedule ks_;
  unsigned char iv_[8];
  unsigned char cv_[8];
};

namespace detail {
// For tests: CBC encryption has a processor-specific variant (same bytes,
// faster); these tell whether this processor has it and switch it off or on.
bool BlowfishFastPathAvailable();
void SetBlowfishFastPath(bool allowed);
}  // namespace detail

}  // namespace tolvan
